#include "SpeechServices.h"

#include "platform/Files.h"

namespace gabblet {

SpeechServices::SpeechServices(Settings& settings, StatusLog& status, SpeechState& speech,
                               const MailTables& mail, const ProgramPaths& paths,
                               const AliasDirectory* aliases)
    : host(voice), none(settings, screen), ctx{settings, status, speech, mail,  host,   none,
                                               sound,    clock,  screen, paths, aliases},
      speaker(ctx) {
    QObject::connect(&host, &DesktopCharacterHost::problem, &status,
                     [&status](const QString& message) { status.AddStatus(message + kCrLf); });
}

} // namespace gabblet
