#include "app/browse/list_actions.h"

#include <optional>

#include "app/browse/message_box.h"
#include "app/frame/procedures.h"
#include "platform/expr/ast.h"
#include "platform/threads/logical_thread.h"

namespace tv::app {

void ApplyQueryByExample(BrowseController& controller, qbe::QueryByExample& qbe, const std::string& filterName) {
    BrowseList& list = controller.List(0);
    const std::optional<std::string> filter = qbe.ask();
    if (!filter || controller.Closed()) return;
    expr::ExprError err;
    if (!list.View().setNamedFilter(filterName, *filter, &err)) {
        ShowMessage("Error", err.message, MessageIcon::None);
        list.View().setNamedFilter(filterName, "");
    }
    list.ResetFromStart();
    list.RefreshButtons();
}

void StartForSelected(BrowseController& controller, int control, const char* procedure, std::size_t stack) {
    BrowseList& list = controller.List(0);
    if (controller.Win().at(control).disabled()) return;
    list.ReadSelected();
    // The started window runs on its own; its start is not waited for.
    threads::start(FindProcedure(procedure), stack);
    list.ReloadInPlace();
}

}  // namespace tv::app
