#pragma once
// The progress window of a running report: "Imprimiendo...", a bar, the
// percentage and "Cancelar". Closing it cancels the report too.
#include <functional>

#include <QWidget>

#include "platform/report/record_processor.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace tv::report {

class ProgressWindow : public QWidget {
public:
    explicit ProgressWindow(QWidget* parent = nullptr);

    // Follows the processor's progress; "Cancelar" and closing cancel it.
    void attach(RecordProcessor& processor);
    void setProgress(const RecordProcessor::Progress& p);
    void setUserText(const QString& text);
    // Closes without cancelling (the loop is over).
    void finish();

    QProgressBar* bar() const { return bar_; }
    QLabel* userText() const { return user_; }
    QLabel* percentText() const { return percent_; }
    QPushButton* cancelButton() const { return cancel_; }

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    QProgressBar* bar_;
    QLabel* user_;
    QLabel* percent_;
    QPushButton* cancel_;
    RecordProcessor* processor_ = nullptr;
    bool finishing_ = false;
};

}  // namespace tv::report
