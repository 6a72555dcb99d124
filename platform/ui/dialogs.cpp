#include "platform/ui/dialogs.h"

#include "platform/types/locale_texts.h"

#include <algorithm>
#include <memory>
#include <vector>

#include <QApplication>
#include <QCalendarWidget>
#include <QToolButton>
#include <QDialog>
#include <QAbstractFileIconProvider>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTextCharFormat>
#include <QVBoxLayout>

#include "platform/threads/logical_thread.h"
#include "platform/ui/colors.h"
#include "platform/ui/window.h"

namespace tv::ui {

namespace {

QStringList& captions() {
    static QStringList c = QString::fromUtf8(kSpanishButtonCaptions).split(',');
    return c;
}

std::vector<QPointer<QWidget>>& waiting() {
    static std::vector<QPointer<QWidget>> w;
    return w;
}

QString caption(int i, const char* fallback) {
    const QStringList& c = captions();
    return i < c.size() && !c[i].isEmpty() ? c[i] : QString::fromUtf8(fallback);
}

// The asking thread's top window, so the dialog stands in front of it.
QWidget* defaultParent(QWidget* given) {
    if (given != nullptr) return given;
    if (Window* w = Window::topOf(threads::current())) return w->topWidget();
    return nullptr;
}

}  // namespace

void setButtonCaptions(const QString& commaSeparated) { captions() = commaSeparated.split(','); }
QStringList buttonCaptions() { return captions(); }

int runDialog(QDialog* d) {
    DialogScope busy;  // the asking thread's windows take no input meanwhile
    bool done = false;
    int result = 0;
    const threads::ThreadNo me = threads::current();
    QObject::connect(d, &QDialog::finished, d, [&done, &result, me](int r) {
        result = r;
        done = true;
        if (me != 0) threads::wake(me);
    });
    d->setModal(false);
    d->setWindowModality(Qt::NonModal);
    waiting().push_back(d);
    // The window that was active gets the keys back when the dialog is done
    // (not every platform hands them back by itself).
    const QPointer<QWidget> before = QApplication::activeWindow();
    d->show();
    d->raise();
    d->activateWindow();
    waitUntil([&done] { return done; });
    auto& w = waiting();
    w.erase(std::remove_if(w.begin(), w.end(), [d](const QPointer<QWidget>& p) { return p == d || p.isNull(); }),
            w.end());
    if (before != nullptr && before != d && before->isVisible() && QApplication::activeWindow() != before)
        before->activateWindow();
    return result;
}

std::vector<QWidget*> openDialogs() {
    std::vector<QWidget*> out;
    for (auto& p : waiting())
        if (p != nullptr) out.push_back(p);
    return out;
}

Answer QtMessagePresenter::show(const MessageBox& box) {
    auto mb = std::make_unique<QMessageBox>(defaultParent(nullptr));
    mb->setWindowTitle(QString::fromStdString(box.caption));
    mb->setText(QString::fromStdString(box.text));
    switch (box.icon) {
        case MessageBox::Icon::None: mb->setIcon(QMessageBox::NoIcon); break;
        case MessageBox::Icon::Information: mb->setIcon(QMessageBox::Information); break;
        case MessageBox::Icon::Question: mb->setIcon(QMessageBox::Question); break;
        case MessageBox::Icon::Warning: mb->setIcon(QMessageBox::Warning); break;
        case MessageBox::Icon::Error: mb->setIcon(QMessageBox::Critical); break;
    }
    std::vector<std::pair<QAbstractButton*, Answer>> buttons;
    auto add = [&](const QString& text, QMessageBox::ButtonRole role, Answer a) {
        QPushButton* b = mb->addButton(text, role);
        buttons.emplace_back(b, a);
        return b;
    };
    QAbstractButton* escape = nullptr;
    switch (box.buttons) {
        case MessageBox::Buttons::Ok:
            escape = add(caption(0, "Aceptar"), QMessageBox::AcceptRole, Answer::Ok);
            break;
        case MessageBox::Buttons::YesNo:
            add(caption(1, "&Sí"), QMessageBox::YesRole, Answer::Yes);
            escape = add(caption(2, "&No"), QMessageBox::NoRole, Answer::No);
            break;
        case MessageBox::Buttons::YesNoCancel:
            add(caption(1, "&Sí"), QMessageBox::YesRole, Answer::Yes);
            add(caption(2, "&No"), QMessageBox::NoRole, Answer::No);
            escape = add(caption(6, "Cancelar"), QMessageBox::RejectRole, Answer::Cancel);
            break;
    }
    for (auto& [b, a] : buttons)
        if (a == box.preset) mb->setDefaultButton(static_cast<QPushButton*>(b));
    mb->setEscapeButton(escape);
    runDialog(mb.get());
    QAbstractButton* clicked = mb->clickedButton();
    for (auto& [b, a] : buttons)
        if (b == clicked) return a;
    for (auto& [b, a] : buttons)
        if (b == escape) return a;
    return box.preset;
}

namespace {
// Icons and kinds from the name alone. Qt's own provider reads a file whose
// name does not tell its kind (talvor.db-wal), and closing that read drops
// every lock the process holds on the file: the database's locks among them,
// after which another program reading the database deletes its journal with
// the writes in it.
class NameOnlyIconProvider : public QAbstractFileIconProvider {
public:
    QIcon icon(const QFileInfo& info) const override {
        return QAbstractFileIconProvider::icon(info.isDir() ? Folder : File);
    }
    QString type(const QFileInfo& info) const override {
        if (info.isDir()) return QStringLiteral("Carpeta");
        const QString suffix = info.suffix();
        return suffix.isEmpty() ? QStringLiteral("Archivo") : QStringLiteral("Archivo %1").arg(suffix.toUpper());
    }
};

std::optional<QString> askFile(bool save, const QString& cap, const QString& folder, const QString& filter,
                               QWidget* parent) {
    static NameOnlyIconProvider names;
    auto d = std::make_unique<QFileDialog>(defaultParent(parent), cap, folder, filter);
    d->setOption(QFileDialog::DontUseNativeDialog, true);
    d->setIconProvider(&names);
    d->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    d->setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (runDialog(d.get()) != QDialog::Accepted || d->selectedFiles().isEmpty()) return std::nullopt;
    return d->selectedFiles().front();
}
}  // namespace

std::optional<QString> askOpenFile(const QString& cap, const QString& folder, const QString& filter,
                                   QWidget* parent) {
    return askFile(false, cap, folder, filter, parent);
}

std::optional<QString> askSaveFile(const QString& cap, const QString& folder, const QString& filter,
                                   QWidget* parent) {
    return askFile(true, cap, folder, filter, parent);
}

bool choosePrinter(QPrinter& printer, const QString& cap, QWidget* parent) {
    auto d = std::make_unique<QPrintDialog>(&printer, defaultParent(parent));
    d->setWindowTitle(cap);
    return runDialog(d.get()) == QDialog::Accepted;
}

void useMonthNames(QCalendarWidget* cal) {
    auto* button = cal->findChild<QToolButton*>(QStringLiteral("qt_calendar_monthbutton"));
    if (button == nullptr) return;
    if (QMenu* menu = button->menu()) {
        const QList<QAction*> months = menu->actions();
        for (int i = 0; i < months.size() && i < 12; ++i)
            months[i]->setText(QString::fromStdString(monthName(i + 1)));
    }
    auto show = [cal, button] { button->setText(QString::fromStdString(monthName(cal->monthShown()))); };
    // Qt writes its own name on every change of page: ours goes after it,
    // and not at all once the calendar is gone (a day of the next month
    // picked turns the page and closes the dialog at once).
    QObject::connect(cal, &QCalendarWidget::currentPageChanged, button,
                     [show, button](int, int) { QTimer::singleShot(0, button, show); });
    show();
}

std::optional<QDate> pickDate(const QDate& start, const QString& title, QWidget* parent) {
    auto d = std::make_unique<QDialog>(defaultParent(parent));
    d->setWindowTitle(title);
    auto* cal = new QCalendarWidget(d.get());
    cal->setObjectName(QStringLiteral("calendar"));
    cal->setFirstDayOfWeek(Qt::Sunday);
    cal->setGridVisible(true);
    QTextCharFormat weekend;
    weekend.setForeground(fromBgr(colors::kRed));
    cal->setWeekdayTextFormat(Qt::Saturday, weekend);
    cal->setWeekdayTextFormat(Qt::Sunday, weekend);
    QTextCharFormat plain;
    plain.setForeground(fromBgr(colors::kBlack));
    for (Qt::DayOfWeek day : {Qt::Monday, Qt::Tuesday, Qt::Wednesday, Qt::Thursday, Qt::Friday})
        cal->setWeekdayTextFormat(day, plain);
    if (start.isValid()) cal->setSelectedDate(start);
    useMonthNames(cal);
    auto* layout = new QVBoxLayout(d.get());
    layout->addWidget(cal);
    QDialog* raw = d.get();
    QObject::connect(cal, &QCalendarWidget::clicked, raw, [raw] { raw->accept(); });
    QObject::connect(cal, &QCalendarWidget::activated, raw, [raw] { raw->accept(); });
    if (runDialog(raw) != QDialog::Accepted) return std::nullopt;
    return cal->selectedDate();
}

int popupMenu(const QStringList& items, const QPoint& globalPos, QWidget* parent) {
    auto menu = std::make_unique<QMenu>(defaultParent(parent));
    int chosen = -1;
    for (int i = 0; i < items.size(); ++i) {
        const QString& t = items[i];
        if (t == QStringLiteral("-")) {
            menu->addSeparator();
            continue;
        }
        QAction* a = menu->addAction(t.startsWith('~') ? t.mid(1) : t);
        a->setEnabled(!t.startsWith('~'));
        QObject::connect(a, &QAction::triggered, menu.get(), [&chosen, i] { chosen = i; });
    }
    DialogScope busy;
    bool done = false;
    const threads::ThreadNo me = threads::current();
    // The menu hides before it reports the chosen item: look once the
    // triggering has run.
    QObject::connect(menu.get(), &QMenu::aboutToHide, menu.get(), [&done, me] {
        QTimer::singleShot(0, [&done, me] {
            done = true;
            if (me != 0) threads::wake(me);
        });
    });
    waiting().push_back(menu.get());
    menu->popup(globalPos);
    waitUntil([&done] { return done; });
    auto& w = waiting();
    w.erase(std::remove_if(w.begin(), w.end(),
                           [&](const QPointer<QWidget>& p) { return p == menu.get() || p.isNull(); }),
            w.end());
    return chosen;
}

}  // namespace tv::ui
