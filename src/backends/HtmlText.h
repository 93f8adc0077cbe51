#pragma once

#include <QString>

namespace gabblet {

// The text a reader sees in an HTML document, from a real HTML parser
// (gumbo): script, style and other invisible content dropped, block
// elements and <br> as line breaks, entities decoded, runs of white space in
// running text as one blank (kept as they are inside <pre>).
QString htmlVisibleText(const QString& html);

} // namespace gabblet
