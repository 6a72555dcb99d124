#pragma once
// The query-by-example window "Busquedas - Seteos" that the article and
// supplier lists open from their filter button.
//
// Tab "Setea Consultas": one line per list column with its operator and
// value. Tab "Salva Consultas": the saved queries (column "Consultar"), the
// entry "&Nombre Consulta:" and "&Salvar", "&Borrar", "&Ejecutar". Below:
// "&Aceptar", "&Cancelar", "L&impiar". Saved queries, the last one used and
// the window's position live in the settings file (qbe_store.h).
//
// The window opens on the calling logical thread and is modal for that
// thread: the caller's windows take no input and the caller is suspended
// until the user answers (no nested event loop); other threads go on.
#include <optional>
#include <string>
#include <vector>

#include "platform/ini/ini_store.h"
#include "platform/qbe/qbe_model.h"

namespace tv::qbe {

inline constexpr const char* kWindowCaption = "Busquedas - Seteos";

struct QbeSetup {
    std::string procedure;       // the list's procedure name: "BrowseArticulo"
    std::vector<Field> fields;   // the list's columns, in the list's order
    IniStore* ini = nullptr;     // nullptr: the process-wide store
    Query initial;               // the conditions shown when the window opens
};

struct QbeOutcome {
    std::string filter;  // the filter to apply; "" means no filter
    Query query;         // the conditions that made it (to show them next time)
};

// Opens the window and waits for the user. nullopt when the user cancels
// ("&Cancelar", Esc or the close box); otherwise the filter text, "" when
// every condition was left empty (the list then drops its filter).
std::optional<std::string> runQueryByExample(const QbeSetup& setup);
std::optional<QbeOutcome> runQueryByExampleFull(const QbeSetup& setup);

// The object a list keeps for its whole run: it remembers the conditions of
// the last accepted query, so opening the window again shows them.
class QueryByExample {
public:
    QueryByExample(std::string procedure, std::vector<Field> fields, IniStore* ini = nullptr);

    // Opens the window; on "&Aceptar" keeps and returns the new filter.
    std::optional<std::string> ask();

    const std::string& filter() const { return filter_; }
    const Query& conditions() const { return query_; }
    const std::vector<Field>& fields() const { return setup_.fields; }
    void clear();

private:
    QbeSetup setup_;
    Query query_;
    std::string filter_;
};

}  // namespace tv::qbe
