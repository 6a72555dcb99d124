#pragma once
// The decisions of a list around the form it opens (insert, change, delete,
// view), of the frame toolbar's record buttons, and of its buttons' enabled
// state. The window code carries them out.
//
// The ask cycle, as the list runs it:
//   AskCycle cycle(request);
//   while (auto pass = cycle.pass()) {            // request of this pass
//       NavigationRequest = 0;
//       read the selected record / prepare a new one (insert);
//       response = preparedOk ? run form : 2;
//       auto after = cycle.formReturned(response, NavigationRequest,
//                                       formRan, stillInFilter);
//       if (after.releaseReservation) give back the reserved record;
//       refresh the list as after.refresh says;
//       if (after.move != ListMove::None) {
//           bool moved = move the selection;  cycle.moved(moved);
//       }
//   }
//   refresh the buttons (buttonStates), post a new selection, focus the list.
#include <optional>
#include <string>
#include <vector>

namespace tv::list {

// Requests a list passes to its forms (CallRequest).
inline constexpr int kRequestInsert = 1;
inline constexpr int kRequestChange = 2;
inline constexpr int kRequestDelete = 3;
inline constexpr int kRequestSelect = 4;  // a list opened to pick a record
inline constexpr int kRequestPrint = 5;
inline constexpr int kRequestView = 6;

inline constexpr int kResponseCompleted = 1;
inline constexpr int kResponseCancelled = 2;

// The frame's record buttons (also the values of NavigationRequest).
namespace toolbar {
inline constexpr int kInsert = 3001;
inline constexpr int kChange = 3002;
inline constexpr int kDelete = 3003;
inline constexpr int kSelect = 3004;
inline constexpr int kBottom = 3005;    // last row
inline constexpr int kTop = 3006;       // first row
inline constexpr int kPageDown = 3007;
inline constexpr int kPageUp = 3008;
inline constexpr int kDown = 3009;      // next row
inline constexpr int kUp = 3010;        // previous row
inline constexpr int kLocate = 3011;
inline constexpr int kHistory = 3012;
inline constexpr int kHelp = 3013;
}  // namespace toolbar

enum class ListMove { None, Last, First, NextPage, PreviousPage, NextRow, PreviousRow };
// The move of a navigation button (3005..3010), None for any other value.
ListMove moveFor(int button);

enum class ListRefresh {
    EmptyAndReload,      // after a completed delete
    ReloadInPlace,       // cancelled, or a change that left the filter
    RepositionOnRecord   // the record just inserted or changed becomes the selected row
};

class AskCycle {
public:
    // `insertConnected`: the list's insert control is set (a toolbar insert
    // pressed in a form never starts an insert the list itself could not).
    explicit AskCycle(int request, bool insertConnected = true)
        : request_(request), insertConnected_(insertConnected) {}

    // The request of the next pass, nullopt when the cycle is over.
    std::optional<int> pass() const { return done_ ? std::nullopt : std::optional<int>(request_); }

    struct After {
        ListRefresh refresh = ListRefresh::ReloadInPlace;
        ListMove move = ListMove::None;  // move the selection before the next pass
        bool releaseReservation = false;  // an insert reserved a record and no form ran
    };
    // `formRan`: the form was actually run (false when the record could not
    // be prepared or the form's window was refused). `stillInFilter`: after a
    // completed change, whether the record still satisfies the view's filter.
    After formReturned(int response, int navigationRequest, bool formRan, bool stillInFilter = true);
    // After a move: whether the selection changed. A row or page move that
    // could not go anywhere ends the cycle rather than open the same record
    // again; first and last always run the next pass.
    void moved(bool selectionChanged);

private:
    int request_;
    bool insertConnected_;
    bool done_ = false;
    ListMove pending_ = ListMove::None;
};

// Buttons of a list and their state. A control that is not set (no such
// button, or view mode for insert, change and delete) is neither connected
// nor enabled.
struct ListControls {
    bool insert = true;
    bool change = true;
    bool del = true;
    bool view = true;
    bool select = false;
    bool print = false;
    bool query = false;
    bool tools = false;
    bool hideSelect = false;  // HIDESELECT
};

struct ButtonState {
    bool connected = false;  // the control is set: it and its key act
    bool enabled = false;
    bool visible = true;
    bool operator==(const ButtonState&) const = default;
};

struct ListButtonStates {
    ButtonState insert, change, del, view, select, print, query;
    bool selectIsDefault = false;  // the select button is the window's default button
    // The frame's record buttons while the list is active.
    bool toolbarInsert = false, toolbarChange = false, toolbarDelete = false, toolbarSelect = false;
    bool toolbarScroll = true;   // bottom, top, page down/up, down, up
    bool toolbarLocate = true;
    bool toolbarHistory = false;
};

// `windowRequest` is the list window's own REQUEST (4 picking, 6 view only).
// `selectBefore` is the select button's state as it stands: outside select
// mode the refresh leaves it alone (unless HIDESELECT).
ListButtonStates buttonStates(const ListControls& controls, int windowRequest, bool hasRows,
                              ButtonState selectBefore = {});

// The popup menu's items in order; "-" is a separator. Each item presses the
// button of the same name.
std::vector<std::string> popupItems(const ListControls& controls, int windowRequest);

}  // namespace tv::list
