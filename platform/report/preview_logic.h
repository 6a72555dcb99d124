#pragma once
// What the print preview decides without a window: which pages it shows, its
// zoom, the page lists typed for printing, and its placement in the INI store.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tv::report {

inline constexpr const char* kPreviewSection = "_PreviewWindow_";
inline constexpr const char* kAskPagesSection = "_PreviewAskPagesWindow_";
inline constexpr std::size_t kPageListMaxLength = 255;

// A page list such as "1-3,5": pages and ascending ranges apart by commas,
// blanks allowed around them. Gives the pages in ascending order, each once;
// nullopt (with a sentence in *error) when the text is empty, too long, not
// such a list, or names a page the report does not have.
std::optional<std::vector<int>> parsePageList(std::string_view text, int pageCount,
                                              std::string* error = nullptr);

// Pages shown, moving and zoom.
class PreviewNavigator {
public:
    explicit PreviewNavigator(int pageCount = 0);

    int pageCount() const { return pages_; }
    void setPageCount(int n);
    int current() const { return current_; }  // the first page shown, 1-based (0: no page)

    // Pages across and down ("Cambiar la vista del reporte"), 1..8 each.
    bool setView(int across, int down);
    int across() const { return across_; }
    int down() const { return down_; }
    int pagesPerView() const { return across_ * down_; }
    std::vector<int> visiblePages() const;

    bool canNext() const;
    bool canPrevious() const;
    bool next();      // by a whole view
    bool previous();
    bool goTo(int page);  // false, and nothing moves, outside 1..pageCount
    void first();
    void last();      // the view that holds the last page

    // Zoom in percent, from the zoom list.
    static const std::vector<int>& zoomSteps();
    int zoom() const { return zoom_; }
    bool setZoom(int percent);  // any value between the smallest and largest step
    bool zoomIn();
    bool zoomOut();

private:
    int pages_ = 0;
    int current_ = 0;
    int across_ = 1, down_ = 1;
    int zoom_ = 100;
};

// A window's place as the INI store keeps it.
struct WindowPlacement {
    int x = 0, y = 0, width = 0, height = 0;
    bool maximized = false, minimized = false;
    bool operator==(const WindowPlacement&) const = default;
};

// Where placements are kept: the INI store in the program, a map in tests.
class PlacementStore {
public:
    virtual ~PlacementStore() = default;
    virtual std::optional<std::string> read(std::string_view section, std::string_view key) const = 0;
    virtual bool write(std::string_view section, std::string_view key, std::string_view value) = 0;
};

// Reads "XPos", "YPos", "Width", "Height", "Maximize" and "Minimize"; nullopt
// when the section has no usable place (missing or not numbers, no size).
std::optional<WindowPlacement> loadPlacement(const PlacementStore& store, std::string_view section);
// Writes the six keys ("Yes"/"No" for the last two); false when one failed.
bool savePlacement(PlacementStore& store, std::string_view section, const WindowPlacement& p);

}  // namespace tv::report
