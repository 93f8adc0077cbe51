#include "WebMailReading.h"

#include "mail/MailReading.h"
#include "platform/HtmlView.h"
#include "state/MailTableOps.h"
#include "state/MailTables.h"
#include "state/Settings.h"

#include <QUrl>

namespace gabblet {

WebMailReading::WebMailReading(MailTables& tables, const Settings& settings,
                               BrowserViewers& viewers, Speaker& speaker,
                               WebReadingServices services)
    : tables_(tables), settings_(settings), viewers_(viewers), speaker_(speaker),
      services_(std::move(services)) {}

void WebMailReading::ReadEmail(int slot, int position) {
    if (slot < 0 || slot >= kAccountSlots || position < 0 || position >= kMessagePositions)
        return;
    const AccountRec& acc = tables_.Acc[std::size_t(slot)];
    const MailStateRec& st = tables_.MailState[std::size_t(slot)];
    const QString subject = st.Subject.at(position);
    const QString mode = ViewerMode(subject);
    const QString id = position < kIdPositions ? st.MsgID.at(position) : QString();
    HtmlView& view = viewers_.openBrowser(
        settings_.EmailSeperateWindows, slot,
        ViewerCaption(acc.Name, st.From.at(position), subject, st.Date.at(position)));
    // The mode belongs to this page: a reused window takes the next one's.
    view.setDocumentComplete(
        [this, &view, mode] { SpeakGabbletSections(speaker_, mode, view.bodyInnerText()); });

    const bool fresh = services_.shiftHeld && services_.shiftHeld();
    if (settings_.CacheEmail && !fresh && services_.cachedPath) {
        const QString cached = services_.cachedPath(slot, position);
        if (!cached.isEmpty()) {
            view.BInit();
            view.navigate(QUrl::fromLocalFile(cached));
            return;
        }
    }
    const QString page = services_.fetchPage ? services_.fetchPage(slot, position) : QString();
    if (page.isEmpty()) {
        viewers_.showFailure(view, tables_.MailState[std::size_t(slot)].Status);
        return;
    }
    view.BInit();
    view.navigate(QUrl::fromLocalFile(page));
    if (!settings_.CacheEmail || !services_.writeCache)
        return;
    // A page that has not loaded in time, or was cancelled, is not kept; nor
    // is one whose position now holds another message (the cache is named by
    // the identifier).
    if (!view.WaitForBrowser(settings_.TimeOutWeb))
        return;
    if (view.bodyInnerText().startsWith(QLatin1String("Navigation Canceled")))
        return;
    const MailStateRec& now = tables_.MailState[std::size_t(slot)];
    if (id.isEmpty() || isNoId(id) || position >= kIdPositions || now.MsgID.at(position) != id)
        return;
    services_.writeCache(slot, position, view.outerHtml());
}

} // namespace gabblet
