#pragma once

#include <QDialog>

namespace gabblet {

class Prompt;

// Program name, version, where to report problems, the help, and a button
// that shows what this copy runs on (worth pasting into a bug report).
class AboutBox final : public QDialog {
    Q_OBJECT
public:
    AboutBox(Prompt& prompt, const QString& systemInfo, const QString& helpFile,
             QWidget* parent = nullptr);
};

} // namespace gabblet
