// A dropped file is anything at all: its bytes are decoded and cut into the
// parts that are read aloud. Nothing may be lost, no line may be longer than
// a part's size, and a part grows past that size by its last line at most;
// the composer's caret rule must stay inside the text.
#include "peer/Insertion.h"
#include "speech/Reader.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdlib>

namespace {
qsizetype withoutBreaks(const QString& s) {
    return s.size() - s.count(QLatin1Char('\r')) - s.count(QLatin1Char('\n'));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString text = gabblet::decodeTextFile(bytes);
    for (bool perLine : {false, true}) {
        // Every character but the line breaks is read, once.
        qsizetype total = 0;
        for (const QString& chunk : gabblet::ReadChunks(text, perLine)) {
            // Short of the size, then a line break and one whole line.
            const qsizetype most =
                perLine ? gabblet::kReadChunkSize : 2 * gabblet::kReadChunkSize + 1;
            if (chunk.size() > most)
                std::abort();
            total += withoutBreaks(chunk);
        }
        if (total != withoutBreaks(text))
            std::abort();
    }
    const qsizetype caret = size ? qsizetype(data[0]) * 7 % (text.size() + 1) : 0;
    const qsizetype moved = gabblet::CheckSelPos(text, caret);
    if (moved < caret || moved > text.size())
        std::abort();
    return 0;
}
