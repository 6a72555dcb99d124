#pragma once
// The order wizard's window as it is laid out: its four pages, the buttons
// below them, the header values of the first page and its two lists.
#include <functional>
#include <memory>

#include "app/browse/browse_list.h"
#include "platform/types/record.h"
#include "platform/ui/window.h"

namespace tv::movements::wizard {

// The first page's values, a record of their own (shown and read through
// pictures): FOLIO, FECHA, PLAZO, ENTREGA, ELABORA, PROVEEDOR, REFERENCIA,
// PRIORIDAD.
std::shared_ptr<const RecordLayout> HeaderLayout();

// One entry of the first page: its control, its value and its picture.
struct HeaderEntry {
    int control;
    const char* field;
    const char* picture;
};
// Every entry the user types in, in page order.
const std::vector<HeaderEntry>& HeaderEntries();
// The values shown only (the folio and the delivery date).
const std::vector<HeaderEntry>& HeaderDisplays();

// Adds the pages, their controls and the buttons below them to `w`.
void BuildWizardWindow(ui::Window& w);

// The articles to choose from (page 3).
app::BrowseListSetup ArticlesSetup();
// The picked lines (page 3), quantity and cost edited in place; `changed`
// runs after a line was written or removed.
app::BrowseListSetup LinesSetup(std::function<void()> changed);

}  // namespace tv::movements::wizard
