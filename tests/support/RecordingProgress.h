#pragma once

#include "platform/ProgressReporter.h"

#include <QList>
#include <QString>

namespace gabblet::test {

// Remembers every progress call, in order.
class RecordingProgress final : public ProgressReporter {
public:
    void StartProgress(const QString& title) override { titles << title; }
    void EndProgress() override { ++ends; }
    QList<int> values;
    QStringList titles;
    int ends = 0;

protected:
    void showProgress(int percent) override { values << percent; }
};

} // namespace gabblet::test
