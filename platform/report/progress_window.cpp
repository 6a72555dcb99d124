#include "platform/report/progress_window.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace tv::report {

ProgressWindow::ProgressWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(QStringLiteral("Imprimiendo..."));
    auto* layout = new QVBoxLayout(this);
    bar_ = new QProgressBar(this);
    bar_->setRange(0, 100);
    bar_->setValue(0);
    bar_->setTextVisible(false);
    user_ = new QLabel(QString(), this);
    percent_ = new QLabel(this);
    percent_->setAlignment(Qt::AlignCenter);
    cancel_ = new QPushButton(QStringLiteral("Cancelar"), this);
    cancel_->setToolTip(QStringLiteral("Cancela el reporte"));
    cancel_->setStatusTip(QStringLiteral("Cancela el reporte"));
    layout->addWidget(bar_);
    layout->addWidget(user_);
    layout->addWidget(percent_);
    layout->addWidget(cancel_, 0, Qt::AlignHCenter);
    setProgress({});
    QObject::connect(cancel_, &QPushButton::clicked, this, [this] {
        if (processor_) processor_->cancel();
    });
}

void ProgressWindow::attach(RecordProcessor& processor) {
    processor_ = &processor;
    processor.setProgressListener([this](const RecordProcessor::Progress& p) { setProgress(p); });
}

void ProgressWindow::setProgress(const RecordProcessor::Progress& p) {
    bar_->setValue(p.percent);
    percent_->setText(QString::number(p.percent) + QStringLiteral("% Completo"));
}

void ProgressWindow::setUserText(const QString& text) { user_->setText(text); }

void ProgressWindow::finish() {
    finishing_ = true;
    if (processor_) processor_->setProgressListener({});
    close();
}

void ProgressWindow::closeEvent(QCloseEvent* e) {
    if (!finishing_ && processor_) processor_->cancel();
    e->accept();
}

}  // namespace tv::report
