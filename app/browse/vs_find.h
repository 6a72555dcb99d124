#pragma once
// vsFind, the find window "Buscar:": a window of its own on the calling
// thread (the caller's windows take no input while it is open). The user
// picks a column, types a value and leaves with "&Encontrar" or
// "&Siguiente"; the result is the match expression, blank after "Cancelar".
#include <string>
#include <string_view>

namespace tv::app {

// Control numbers of the find window.
enum VsFindControl : int {
    kVsfColumnPrompt = 1,  // ?SEARCHFIELDS:PROMPT
    kVsfColumns = 2,       // ?SEARCHFIELDS
    kVsfValuePrompt = 3,   // ?SEARCHVALUE:PROMPT
    kVsfValue = 4,         // ?SEARCHVALUE
    kVsfCriteria = 5,      // ?MATCHCRITERIA
    kVsfFind = 6,      // ?FIND
    kVsfFindNext = 7,    // ?FINDNEXT
    kVsfCancel = 8,    // ?CANCEL
};

// Runs the find window. On "&Encontrar" and "&Siguiente" the chosen header
// and the typed value are written back to lastColumn and lastValue;
// "&Siguiente" also sets findNext. `refused` (when given) is set when the
// window did not open because a find window is open on another thread (that
// one comes to the front); the result is then blank. A column list the
// window cannot use is reported and gives a blank result.
std::string vsFind(std::string_view columnList, std::string& lastColumn, std::string& lastValue, bool& findNext,
                   bool* refused = nullptr);

}  // namespace tv::app
