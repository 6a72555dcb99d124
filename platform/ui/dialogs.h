#pragma once
// Dialogs shown without a nested event loop: the asking logical thread
// suspends (its windows take no input meanwhile) until the answer comes,
// while every other thread's windows go on working.
#include <functional>
#include <optional>

#include <QDate>
#include <QPoint>
#include <QString>
#include <QStringList>

#include "platform/errors/error_reporter.h"

class QDialog;
class QPrinter;
class QWidget;

class QCalendarWidget;

namespace tv::ui {

// Captions of the message-box buttons, in the order Ok, Yes, No, Abort,
// Retry, Ignore, Cancel, Help, given as one comma-separated text.
inline constexpr const char* kSpanishButtonCaptions =
    "Aceptar,&Sí,&No,&Abortar,&Reintentar,&Ignorar,Cancelar,&Ayuda";
void setButtonCaptions(const QString& commaSeparated);
QStringList buttonCaptions();

// Shows message boxes with Qt; the ErrorReporter presents through it.
class QtMessagePresenter : public MessagePresenter {
public:
    Answer show(const MessageBox& box) override;
};

// Shows `dialog` non-modally and suspends the asking thread until it
// finishes; returns its result code. The dialog's parent should be the asking
// window's widget so it stays in front of it.
int runDialog(QDialog* dialog);  // the caller deletes the dialog

// Every dialog currently waited on, oldest first (tests answer them).
std::vector<QWidget*> openDialogs();

std::optional<QString> askOpenFile(const QString& caption, const QString& folder,
                                   const QString& filter, QWidget* parent = nullptr);
std::optional<QString> askSaveFile(const QString& caption, const QString& folder,
                                   const QString& filter, QWidget* parent = nullptr);
// The print dialog; true when the user chose a printer.
bool choosePrinter(QPrinter& printer, const QString& caption = QStringLiteral("Choose Printer"),
                   QWidget* parent = nullptr);
// The calendar "Elija una fecha": weekends in red, other days black, the week
// starting on Sunday; a click on a day picks it.
inline constexpr const char* kCalendarTitle = "Elija una fecha";
// The calendar's month button and menu show the locale texts' month names.
void useMonthNames(QCalendarWidget* cal);
std::optional<QDate> pickDate(const QDate& start, const QString& title = QString::fromUtf8(kCalendarTitle),
                              QWidget* parent = nullptr);

// A popup menu at a screen position: the index of the chosen item, or -1.
// Items "-" are separators (they count in the index); items starting with
// "~" are shown disabled.
int popupMenu(const QStringList& items, const QPoint& globalPos, QWidget* parent = nullptr);

}  // namespace tv::ui
