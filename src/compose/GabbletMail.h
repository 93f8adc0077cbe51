#pragma once

#include <QString>

namespace gabblet {

// A composed message travelling inside an e-mail: a block between
// "Gabblet:" and ":Gabblet" that the recipient's copy of the program finds
// and has the named character speak with the named action.
inline const QString kGabbletSubject = QStringLiteral("Gabblet:");

QString gabbletMailBody(const QString& character, const QString& action, const QString& text,
                        bool hideAtEnd);

} // namespace gabblet
