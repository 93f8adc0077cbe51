#include "backends/HtmlText.h"

#include <gumbo.h>

#include <memory>

namespace gabblet {
namespace {

bool isBlock(GumboTag tag) {
    switch (tag) {
    case GUMBO_TAG_P:
    case GUMBO_TAG_DIV:
    case GUMBO_TAG_TR:
    case GUMBO_TAG_TABLE:
    case GUMBO_TAG_LI:
    case GUMBO_TAG_UL:
    case GUMBO_TAG_OL:
    case GUMBO_TAG_H1:
    case GUMBO_TAG_H2:
    case GUMBO_TAG_H3:
    case GUMBO_TAG_H4:
    case GUMBO_TAG_H5:
    case GUMBO_TAG_H6:
    case GUMBO_TAG_PRE:
    case GUMBO_TAG_BLOCKQUOTE:
    case GUMBO_TAG_FORM:
    case GUMBO_TAG_HR:
    case GUMBO_TAG_TITLE:
    case GUMBO_TAG_DL:
    case GUMBO_TAG_DT:
    case GUMBO_TAG_DD:
    case GUMBO_TAG_CENTER:
        return true;
    default:
        return false;
    }
}

bool isHidden(GumboTag tag) {
    return tag == GUMBO_TAG_SCRIPT || tag == GUMBO_TAG_STYLE || tag == GUMBO_TAG_NOSCRIPT ||
           tag == GUMBO_TAG_TEMPLATE || tag == GUMBO_TAG_HEAD || tag == GUMBO_TAG_TEXTAREA ||
           tag == GUMBO_TAG_SELECT || tag == GUMBO_TAG_IFRAME || tag == GUMBO_TAG_OBJECT;
}

class TextWriter {
public:
    void breakLine() {
        if (!out_.isEmpty() && !out_.endsWith(QLatin1Char('\n'))) {
            while (out_.endsWith(QLatin1Char(' ')))
                out_.chop(1);
            out_ += QLatin1Char('\n');
        }
        pendingBlank_ = false;
    }
    void text(const char* utf8, bool pre) {
        const QString t = QString::fromUtf8(utf8);
        if (pre) {
            flushBlank();
            out_ += t;
            return;
        }
        for (QChar c : t) {
            if (c.isSpace()) {
                pendingBlank_ = !out_.isEmpty() && !out_.endsWith(QLatin1Char('\n'));
            } else {
                flushBlank();
                out_ += c;
            }
        }
    }
    QString result() {
        while (out_.endsWith(QLatin1Char('\n')) || out_.endsWith(QLatin1Char(' ')))
            out_.chop(1);
        return out_;
    }

private:
    void flushBlank() {
        if (pendingBlank_)
            out_ += QLatin1Char(' ');
        pendingBlank_ = false;
    }
    QString out_;
    bool pendingBlank_ = false;
};

// Walks with an explicit stack: a hostile page nests deeper than any call
// stack would take.
void collect(const GumboNode* root, TextWriter& writer) {
    struct Item {
        const GumboNode* node;
        unsigned next; // the next child to visit
        bool pre;
    };
    std::vector<Item> stack{{root, 0, false}};
    while (!stack.empty()) {
        Item& top = stack.back();
        const GumboNode* node = top.node;
        if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_DOCUMENT) {
            if (node->type == GUMBO_NODE_TEXT || node->type == GUMBO_NODE_WHITESPACE ||
                node->type == GUMBO_NODE_CDATA)
                writer.text(node->v.text.text, top.pre);
            stack.pop_back();
            continue;
        }
        const GumboVector& children = node->type == GUMBO_NODE_DOCUMENT ? node->v.document.children
                                                                        : node->v.element.children;
        const GumboTag tag =
            node->type == GUMBO_NODE_ELEMENT ? node->v.element.tag : GUMBO_TAG_UNKNOWN;
        if (top.next == 0) {
            if (isHidden(tag)) {
                stack.pop_back();
                continue;
            }
            if (tag == GUMBO_TAG_BR)
                writer.text("\n", true);
            else if (isBlock(tag))
                writer.breakLine();
        }
        if (top.next < children.length) {
            const bool pre = top.pre || tag == GUMBO_TAG_PRE;
            const auto* child = static_cast<const GumboNode*>(children.data[top.next++]);
            stack.push_back({child, 0, pre});
            continue;
        }
        if (isBlock(tag))
            writer.breakLine();
        stack.pop_back();
    }
}

} // namespace

QString htmlVisibleText(const QString& html) {
    const QByteArray utf8 = html.toUtf8();
    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = 0; // only the tree is wanted
    std::unique_ptr<GumboOutput, void (*)(GumboOutput*)> output(
        gumbo_parse_with_options(&options, utf8.constData(), size_t(utf8.size())),
        [](GumboOutput* o) { gumbo_destroy_output(&kGumboDefaultOptions, o); });
    if (!output)
        return {};
    TextWriter writer;
    collect(output->root, writer);
    return writer.result();
}

} // namespace gabblet
