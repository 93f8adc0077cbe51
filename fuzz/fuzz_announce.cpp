// A mail body and an emailann.txt are anything at all. The section finder
// must stay inside the text, keep its sections in order and bounded in
// number; the template reader must keep to 21 templates, and whatever it
// read must come back the same through the writer.
#include "mail/Announcements.h"
#include "mail/MailReading.h"
#include "platform/Cp1252.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdlib>

using namespace gabblet;

namespace {

void checkSections(const QString& text) {
    qsizetype after = 0;
    const auto sections = FindGabbletSections(text);
    if (sections.size() > kMaxSections)
        std::abort();
    for (const GabbletSection& s : sections) {
        if (s.start < after || s.length < 0 || s.start + s.length > text.size())
            std::abort();
        after = s.start + s.length;
    }
}

void checkTemplates(const QString& text) {
    AnnouncementTemplates read;
    if (read.parse(text) == AnnouncementTemplates::LoadResult::MissingSection &&
        read.count() != 0)
        std::abort();
    if (read.count() > kMaxTemplates || read.AnnLast() != read.count() - 1)
        std::abort();
    AnnouncementTemplates back;
    if (back.parse(read.serialize()) != AnnouncementTemplates::LoadResult::Loaded)
        std::abort();
    if (back.count() != read.count())
        std::abort();
    // Written and read again, a second time changes nothing more.
    if (back.serialize() != read.serialize())
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = cp1252::decode(reinterpret_cast<const char*>(data), qsizetype(size));
    checkSections(text);
    checkTemplates(text);
    return 0;
}
