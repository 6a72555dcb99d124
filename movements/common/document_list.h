#pragma once
// What the lists of the documents (receipts, issues, orders) do alike:
// documents are added and viewed, never changed or deleted there, so
// "&Cambiar" and "&Borrar" stay out of sight (their keys still ask the form,
// which refuses); what belongs to the selected document shown beside the
// lists; and a row of buttons under the lists.
#include <cstdint>
#include <initializer_list>

#include "app/browse/browse_controller.h"
#include "platform/ui/window.h"

namespace tv::movements {

class DocumentList : public app::BrowseController {
public:
    DocumentList(std::string procedure, ui::Window& w, int change, int del)
        : BrowseController(std::move(procedure), w), change_(change), del_(del) {}

    int DispatchEvent(const ui::WindowEvent& e) override;

protected:
    void SetUpAfterOpen() override;
    // Shows what belongs to the selected document beside the lists, each
    // time another is selected: `read` says whether the selected document
    // (with its joined records) is in the buffers, false when none is.
    virtual void ShowSelected(bool read) { (void)read; }
    // Shows it again (what it names may have changed).
    void ShowSelectedAgain();
    // The names of the supplier joined to the selected document into the
    // display texts `name` and `name2` (blank when none was read).
    void ShowSupplierNames(bool read, int name, int name2);
    // The selected document's supplier, read-only in the supplier form (a
    // click on its names); nothing when the document names none.
    void ViewSupplier();

private:
    void KeepHidden();
    void FollowSelection();
    int change_, del_;
    int64_t shown_ = -2;
};

// The controls every document list has (numbered as doc_list_ui says): the
// tab "Por Folio" with the documents' list, the lines' list under it, the
// buttons in a row at `buttonsY` (Cerrar at the right) and "F3: Buscar".
struct DocumentListTexts {
    const char* headerTip;   // "Entradas registradas"
    const char* linesTip;    // "Articulos de la entrada"
    const char* viewTip;     // "Consultar entrada"
    const char* printTip;    // "Imprimir entrada"
    int buttonsY;
};
void AddDocumentListControls(ui::Window& w, const DocumentListTexts& t);

}  // namespace tv::movements
