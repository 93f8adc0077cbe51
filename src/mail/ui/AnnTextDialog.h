#pragma once

#include "mail/AnnouncementEditor.h"

#include <QDialog>

#include <functional>

class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QScrollBar;

namespace gabblet {

// frmAnnText: the announcement templates, one at a time, with their number
// on a scroll bar. A thin window over AnnouncementEditor; closing it by any
// means stores the shown boxes and rewrites emailann.txt.
class AnnTextDialog final : public QDialog {
    Q_OBJECT
public:
    using ComposerSource = std::function<ComposerMessage()>;
    using Tester = std::function<void(const AnnTemplate&)>;

    // composer: what Get takes; test: speaks a template with test values.
    AnnTextDialog(AnnouncementEditor& editor, ComposerSource composer, Tester test,
                  QWidget* parent = nullptr);

    void done(int result) override;

private:
    AnnTemplate shownBoxes() const;
    void fillBoxes(const AnnTemplate& boxes);
    void showCurrent();
    void AnnScroll_Change(int value);
    void AddAnn_Click();
    void DelAnn_Click();
    void SetDefault_Click();
    void GetAnn_Click();
    void Test_Click();

    AnnouncementEditor& editor_;
    ComposerSource composer_;
    Tester test_;
    QGroupBox* summaryFrame_ = nullptr;
    QGroupBox* detailFrame_ = nullptr;
    QPlainTextEdit* SummaryText_ = nullptr;
    QPlainTextEdit* DetailText_ = nullptr;
    QScrollBar* AnnScroll_ = nullptr;
    QLabel* AnnNo_ = nullptr;
    QPushButton* AddAnn_ = nullptr;
    bool closed_ = false;
    bool moving_ = false; // the scroll bar is set by the program
};

} // namespace gabblet
