#include "app/list/ask_cycle.h"
#include "app/list/select_mode.h"

#include <gtest/gtest.h>

namespace tv::list {
namespace {

TEST(AskCycle, HowTheListIsBroughtUpToDate) {
    struct Case {
        int request, response;
        bool formRan, stillInFilter;
        ListRefresh refresh;
        bool release;
    };
    const Case cases[] = {
        {kRequestDelete, 1, true, true, ListRefresh::EmptyAndReload, false},
        {kRequestChange, 1, true, false, ListRefresh::ReloadInPlace, false},   // left the filter
        {kRequestChange, 1, true, true, ListRefresh::RepositionOnRecord, false},
        {kRequestInsert, 1, true, true, ListRefresh::RepositionOnRecord, false},
        {kRequestInsert, 2, true, true, ListRefresh::ReloadInPlace, false},    // the form gave it back
        {kRequestInsert, 2, false, true, ListRefresh::ReloadInPlace, true},    // no form ran
        {kRequestChange, 2, false, true, ListRefresh::ReloadInPlace, false},
        {kRequestView, 2, true, true, ListRefresh::ReloadInPlace, false},
        {kRequestDelete, 2, true, true, ListRefresh::ReloadInPlace, false},
    };
    for (const auto& c : cases) {
        AskCycle cycle(c.request);
        ASSERT_EQ(cycle.pass(), c.request);
        auto after = cycle.formReturned(c.response, 0, c.formRan, c.stillInFilter);
        EXPECT_EQ(after.refresh, c.refresh) << c.request << "/" << c.response;
        EXPECT_EQ(after.releaseReservation, c.release) << c.request << "/" << c.response;
        EXPECT_EQ(after.move, ListMove::None);
        EXPECT_FALSE(cycle.pass());  // no request left: the cycle is over
    }
}

TEST(AskCycle, NavigationRequestsRunTheNextPass) {
    struct Case {
        int request;
        int nav;
        ListMove move;
        std::optional<int> next;  // request of the next pass (before any move)
    };
    const Case cases[] = {
        {kRequestInsert, toolbar::kInsert, ListMove::None, kRequestInsert},
        {kRequestInsert, toolbar::kDown, ListMove::None, kRequestInsert},  // next row after an insert: insert again
        {kRequestChange, toolbar::kInsert, ListMove::None, kRequestInsert},
        {kRequestChange, toolbar::kDown, ListMove::NextRow, kRequestChange},
        {kRequestChange, toolbar::kUp, ListMove::PreviousRow, kRequestChange},
        {kRequestChange, toolbar::kPageDown, ListMove::NextPage, kRequestChange},
        {kRequestChange, toolbar::kPageUp, ListMove::PreviousPage, kRequestChange},
        {kRequestChange, toolbar::kTop, ListMove::First, kRequestChange},
        {kRequestChange, toolbar::kBottom, ListMove::Last, kRequestChange},
        {kRequestChange, toolbar::kChange, ListMove::None, std::nullopt},  // not a navigation button
        {kRequestChange, toolbar::kHelp, ListMove::None, std::nullopt},
        {kRequestChange, 12345, ListMove::None, std::nullopt},
    };
    for (const auto& c : cases) {
        AskCycle cycle(c.request);
        auto after = cycle.formReturned(kResponseCompleted, c.nav, true);
        EXPECT_EQ(after.move, c.move) << c.nav;
        EXPECT_EQ(cycle.pass(), c.next) << c.nav;
    }
}

TEST(AskCycle, WalkingThroughRecordsStopsWhereTheListEnds) {
    AskCycle cycle(kRequestChange);
    // Next row twice, the second time the list is already on its last row.
    auto a = cycle.formReturned(1, toolbar::kDown, true);
    EXPECT_EQ(a.move, ListMove::NextRow);
    cycle.moved(true);
    EXPECT_EQ(cycle.pass(), kRequestChange);
    a = cycle.formReturned(1, toolbar::kDown, true);
    cycle.moved(false);
    EXPECT_FALSE(cycle.pass());

    // Last row always opens the form again, even when already there.
    AskCycle toEnd(kRequestChange);
    toEnd.formReturned(1, toolbar::kBottom, true);
    toEnd.moved(false);
    EXPECT_EQ(toEnd.pass(), kRequestChange);
    // Then the user closes the form normally.
    toEnd.formReturned(1, 0, true);
    EXPECT_FALSE(toEnd.pass());
}

TEST(AskCycle, InsertThroughTheToolbarOnlyWhenTheListCanInsert) {
    AskCycle cycle(kRequestChange, /*insertConnected=*/false);
    cycle.formReturned(1, toolbar::kInsert, true);
    EXPECT_FALSE(cycle.pass());
    // A form that never ran cannot have asked for anything.
    AskCycle refused(kRequestInsert);
    auto after = refused.formReturned(2, toolbar::kInsert, false);
    EXPECT_TRUE(after.releaseReservation);
    EXPECT_FALSE(refused.pass());
}

TEST(ListButtons, EnabledStates) {
    ListControls catalogue;  // insert, change, delete, view
    ListControls lookup = catalogue;
    lookup.select = true;
    ListControls supplier = lookup;
    supplier.hideSelect = true;
    ListControls printing = catalogue;
    printing.print = true;

    struct Case {
        const char* what;
        ListControls controls;
        int request;
        bool rows;
        ButtonState insert, change, del, view, select, print;
        bool selectDefault;
    };
    const ButtonState on{true, true, true}, off{true, false, true}, none{false, false, true};
    const ButtonState hidden{true, false, false};
    const Case cases[] = {
        {"catalogue with rows", catalogue, 0, true, on, on, on, on, none, none, false},
        {"empty catalogue", catalogue, 0, false, on, off, off, off, none, none, false},
        {"view mode", catalogue, kRequestView, true, none, none, none, on, none, none, false},
        {"empty view mode", catalogue, kRequestView, false, none, none, none, off, none, none, false},
        {"picking with rows", lookup, kRequestSelect, true, on, on, on, on, on, none, true},
        {"picking, empty", lookup, kRequestSelect, false, on, off, off, off, off, none, false},
        {"select-capable, not picking", lookup, 0, true, on, on, on, on, on, none, false},
        {"supplier list, not picking", supplier, 0, true, on, on, on, on, hidden, none, false},
        {"supplier list picking", supplier, kRequestSelect, true, on, on, on, on, on, none, true},
        {"print with rows", printing, 0, true, on, on, on, on, none, on, false},
        {"print, empty", printing, 0, false, on, off, off, off, none, off, false},
    };
    for (const auto& c : cases) {
        ListButtonStates s = buttonStates(c.controls, c.request, c.rows, on);
        EXPECT_EQ(s.insert, c.insert) << c.what;
        EXPECT_EQ(s.change, c.change) << c.what;
        EXPECT_EQ(s.del, c.del) << c.what;
        EXPECT_EQ(s.view, c.view) << c.what;
        EXPECT_EQ(s.select, c.select) << c.what;
        EXPECT_EQ(s.print, c.print) << c.what;
        EXPECT_EQ(s.selectIsDefault, c.selectDefault) << c.what;
        // The frame's toolbar follows the list's own buttons.
        EXPECT_EQ(s.toolbarInsert, c.insert.enabled) << c.what;
        EXPECT_EQ(s.toolbarChange, c.change.enabled) << c.what;
        EXPECT_EQ(s.toolbarDelete, c.del.enabled) << c.what;
        EXPECT_EQ(s.toolbarSelect, c.select.connected && c.select.enabled) << c.what;
        EXPECT_TRUE(s.toolbarScroll && s.toolbarLocate);
        EXPECT_FALSE(s.toolbarHistory);
    }
    // Outside select mode the refresh leaves the select button as it was.
    EXPECT_EQ(buttonStates(lookup, 0, true, off).select, off);
}

TEST(ListButtons, PopupMenu) {
    ListControls all;
    all.print = all.query = all.select = all.tools = true;
    using V = std::vector<std::string>;
    EXPECT_EQ(popupItems(ListControls{}, 0), (V{"&Agregar", "&Cambiar", "&Borrar", "&Ver"}));
    EXPECT_EQ(popupItems(all, kRequestSelect),
              (V{"&Agregar", "&Cambiar", "&Borrar", "&Ver", "&Imprime", "-", "&Consulta", "&Elegir", "-",
                 "&Herramientas"}));
    EXPECT_EQ(popupItems(all, 0),
              (V{"&Agregar", "&Cambiar", "&Borrar", "&Ver", "&Imprime", "-", "&Consulta", "-", "&Herramientas"}));
    EXPECT_EQ(popupItems(ListControls{}, kRequestView), (V{"&Ver"}));
}

}  // namespace
}  // namespace tv::list

namespace tv::list {
namespace {

TEST(SelectMode, CancelledPickGivesTheCallersBufferBack) {
    auto layout = std::make_shared<RecordLayout>(
        "Articulo", "ART",
        std::vector<FieldSpec>{{"ART:NoArt", FieldType::Long, 0, 0}, {"ART:Descripcion", FieldType::String, 40, 0}});
    Record buffer(layout);
    buffer.set(0, Value(17));
    buffer.set(1, Value("lo que el formulario tenía"));
    const Record before = buffer;

    struct Case {
        int response;
        SelectModeBuffer::Finish finish;
        bool asBefore;
    };
    const Case cases[] = {
        {kResponseCancelled, SelectModeBuffer::Finish::Restored, true},
        {0, SelectModeBuffer::Finish::Restored, true},  // closed any other way
        {kResponseCompleted, SelectModeBuffer::Finish::RereadChosen, false},
    };
    for (const auto& c : cases) {
        buffer = before;
        SelectModeBuffer pick;
        pick.save(buffer);
        // The list reads its rows into the same buffer.
        buffer.set(0, Value(99));
        buffer.set(1, Value("otro artículo"));
        EXPECT_EQ(pick.finish(buffer, c.response), c.finish) << c.response;
        EXPECT_EQ(buffer == before, c.asBefore) << c.response;
        EXPECT_FALSE(pick.saved());
    }
    SelectModeBuffer notPicking;
    EXPECT_EQ(notPicking.finish(buffer, kResponseCancelled), SelectModeBuffer::Finish::Nothing);
}

}  // namespace
}  // namespace tv::list
