// Spelling a message body with the system's en_US dictionary: how long the
// dictionary takes to load (paid at each check), and what a user waits for
// at each click of the dialog (finding the next wrong word and its
// suggestions). Baseline: the same words through Hunspell directly, without
// the word walk. Prints the median and the worst of each.
#include "compose/SpellChecker.h"
#include "compose/SpellingPass.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QStringList>

#include <hunspell.hxx>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace gabblet;

namespace {

const char* kParagraph =
    "Thank you for your letter of last week. We have looked at the figures you sent and "
    "agree that the second quarter was better than we hoped, although the costs of the new "
    "office are still higher than planned. Could you send the invoices from March, and the "
    "names of the people who will come to the meeting on Friday? I will book a room. ";
const char* kTypos[] = {"recieve", "seperate", "definately", "occured", "untill",
                        "wich",    "teh",      "adress",     "beleive", "tommorow"};

QString body(int paragraphs) {
    QString text;
    for (int i = 0; i < paragraphs; ++i)
        text += QString::fromLatin1(kParagraph) + QString::fromLatin1(kTypos[i % 10]) +
                QStringLiteral(".\n");
    return text;
}

struct Figures {
    std::vector<double> ms;
    void add(double v) { ms.push_back(v); }
    void print(const char* what) {
        std::sort(ms.begin(), ms.end());
        std::printf("%-44s median %8.2f ms  worst %8.2f ms  (%zu runs)\n", what, ms[ms.size() / 2],
                    ms.back(), ms.size());
    }
};

} // namespace

int main() {
    const SpellingSetup setup{QStringLiteral("/usr/share/hunspell"), QStringLiteral("en_US"), {}};
    if (!makeHunspellChecker(setup)->available()) {
        std::fprintf(stderr, "no en_US dictionary in /usr/share/hunspell\n");
        return 1;
    }
    Figures load, pass, click, raw;
    const QString text = body(20); // about 1,300 words, 20 of them wrong
    for (int run = 0; run < 9; ++run) {
        QElapsedTimer t;
        t.start();
        auto checker = makeHunspellChecker(setup);
        load.add(t.nsecsElapsed() / 1e6);

        SpellingPass p(*checker, text);
        t.restart();
        QElapsedTimer step;
        step.start();
        while (p.next()) {
            (void)p.suggestions();
            click.add(step.nsecsElapsed() / 1e6);
            p.ignore();
            step.restart();
        }
        pass.add(t.nsecsElapsed() / 1e6);

        Hunspell engine("/usr/share/hunspell/en_US.aff", "/usr/share/hunspell/en_US.dic");
        const QStringList words =
            text.split(QRegularExpression(QStringLiteral("[^A-Za-z']+")), Qt::SkipEmptyParts);
        t.restart();
        for (const QString& w : words)
            if (!engine.spell(w.toStdString()))
                (void)engine.suggest(w.toStdString());
        raw.add(t.nsecsElapsed() / 1e6);
    }
    load.print("load the en_US dictionary");
    pass.print("whole pass, 1,300 words, 20 wrong");
    click.print("one click: next wrong word + suggestions");
    raw.print("baseline: Hunspell alone, same words");
    return 0;
}
