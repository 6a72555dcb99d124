#pragma once
// The print preview: pages at a zoom, moving through them, printing all or
// chosen pages, saving through the output chooser, leaving. It is shown
// without a nested event loop; whoever waits for it is told when it closes.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QWidget>

#include "platform/report/page.h"
#include "platform/report/page_store.h"
#include "platform/report/preview_logic.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QSpinBox;
class QPrinter;

namespace tv::report {

class OutputTargetChooser;
class PageView;

// "Paginas a imprimir": a page list, "&Restablecer", "&Aceptar", "&Cancelar".
class AskPagesWindow : public QWidget {
public:
    AskPagesWindow(int pageCount, QWidget* parent);
    // Called with the pages when the list is accepted.
    std::function<void(const std::vector<int>&)> onAccepted;
    // Checks the typed list: accepted lists close the window; a bad one shows why.
    bool accept();
    void reset();
    QLineEdit* edit() const { return edit_; }
    QLabel* errorText() const { return error_; }
    QPushButton* acceptButton() const { return ok_; }

private:
    int pages_;
    QLineEdit* edit_;
    QLabel* error_;
    QPushButton* ok_;
};

class PreviewWindowController : public QWidget {
public:
    enum class Outcome { Left, Printed, Saved };

    struct Options {
        int zoom = 100;
        bool allowZoom = true;
        bool maximize = true;
        PlacementStore* store = nullptr;  // where the placement is kept (none: not kept)
    };

    // The pages stay packed in `pages`; only those in view are unpacked.
    explicit PreviewWindowController(std::shared_ptr<const PageList> pages, QWidget* parent = nullptr);
    explicit PreviewWindowController(const std::vector<Page>& pages, QWidget* parent = nullptr);
    ~PreviewWindowController() override;

    void setOptions(const Options& o);
    void setChooser(std::shared_ptr<OutputTargetChooser> chooser) { chooser_ = std::move(chooser); }
    // Printing; the default prints on `printer()` with the pages' own layout.
    void setPrintHandler(std::function<bool(const std::vector<int>&)> f) { print_ = std::move(f); }
    void setPrinter(std::shared_ptr<QPrinter> printer) { printer_ = std::move(printer); }
    void setPrinter(QPrinter* printer) { printer_ = std::shared_ptr<QPrinter>(printer, [](QPrinter*) {}); }
    // Where output commands (print, save) run: a report on a logical thread
    // runs them there, so that their dialogs and messages can make it wait.
    // Without one they run at once.
    using CommandRunner = std::function<void(std::function<void()>)>;
    void setCommandRunner(CommandRunner r) { runner_ = std::move(r); }
    // Told once, when the window has closed (after the placement was stored).
    void setClosedHandler(std::function<void(Outcome)> f) { closed_ = std::move(f); }

    // Restores the stored placement and shows the window (maximised when asked).
    void open();

    const PageList& pages() const { return *pages_; }
    PreviewNavigator& navigator() { return nav_; }
    Outcome outcome() const { return outcome_; }

    // The commands behind the buttons.
    void nextPage();                 // "&Siguiente"
    void previousPage();             // "&Anterior"
    bool goToPage(int page);         // "&Ir a la pagina"
    bool changeView(int across, int down);  // "&Cambiar presentacion"
    bool setZoom(int percent);
    bool printAll();                 // "Im&primir"
    AskPagesWindow* askPages();      // "Im&primir paginas..."
    bool printPages(const std::vector<int>& pages);
    void chooseOutput();             // "&Salvar como": the writers to pick from
    bool saveWith(std::size_t writer);
    void leave();                    // "&Salir"

    // The window's current place, as stored.
    WindowPlacement placement() const;
    QPushButton* button(const QString& text) const;
    // The last problem told to the user (a page list, a file, the printer).
    const QString& lastMessage() const { return lastMessage_; }
    QComboBox* zoomBox() const { return zoom_; }
    QLabel* pageLabel() const { return pageLabel_; }

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void refresh();
    void showSubWindow(QWidget* w);
    void runCommand(std::function<void()> f);
    void tell(const QString& text);

    std::shared_ptr<const PageList> pages_;
    PreviewNavigator nav_;
    Options options_;
    std::shared_ptr<OutputTargetChooser> chooser_;
    std::shared_ptr<QPrinter> printer_;
    std::function<bool(const std::vector<int>&)> print_;
    std::function<void(Outcome)> closed_;
    CommandRunner runner_;
    QString lastMessage_;
    Outcome outcome_ = Outcome::Left;
    bool closedOnce_ = false;

    PageView* view_;
    QScrollArea* scroll_;
    QComboBox* zoom_;
    QLabel* pageLabel_;
    std::vector<QPushButton*> buttons_;
};

}  // namespace tv::report
