#include "GabbletMail.h"

#include "platform/Files.h"

namespace gabblet {

QString gabbletMailBody(const QString& character, const QString& action, const QString& text,
                        bool hideAtEnd) {
    return QStringLiteral("Gabblet:") + kCrLf + QStringLiteral("{{^") + character +
           QStringLiteral("}}{{") + action + QStringLiteral("}}") + text +
           (hideAtEnd ? QStringLiteral("\\\\h") : QString()) + kCrLf + QStringLiteral(":Gabblet");
}

} // namespace gabblet
