// Web-mail pages as any server might send them: the inbox rows of both
// services, the message-page cleaners, entity decoding, form fields and the
// visible text. No crash, no read past the text, every row search moving on.
#include "backends/HtmlText.h"
#include "backends/WebText.h"
#include "platform/Cp1252.h"

#include <cstdint>
#include <cstdlib>

using namespace gabblet;
using namespace gabblet::web;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString page = cp1252::decode(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString low = asciiLower(page);
    if (low.size() != page.size())
        std::abort();

    qsizetype pos = 0;
    for (int k = 0; k < 2001; ++k) {
        bool found = false;
        const qsizetype before = pos;
        const auto row = mailCityRow(page, low, pos, found, QLocale::c());
        if (!row)
            break;
        if (pos <= before || pos > page.size() || row->MsgID2.size() > 4)
            std::abort();
    }
    qsizetype row = nextHotMailRow(low, 0);
    for (int k = 0; row >= 0 && k < 2001; ++k) {
        qsizetype at = row;
        const auto r = hotMailRow(page, low, at, QStringLiteral("http://h"), QLocale::c());
        if (!r)
            break;
        if (at <= row || at > page.size() || r->Size < 0)
            std::abort();
        row = nextHotMailRow(low, at);
    }
    if (StripBodyMailCity(page).size() > page.size() * 2 + 2 ||
        StripBodyHotMail(page).size() > page.size())
        std::abort();
    if (DecodeEntities(page).size() > page.size())
        std::abort();
    if (GetFormField(u"msghdrid", page).size() > page.size())
        std::abort();
    StripTags(page);
    htmlVisibleText(page);
    return 0;
}
