#include "ui/MainLayout.h"

#include <algorithm>

namespace velora {

MainLayout ChooseLayout(const Arguments& args) {
    if (IsSaverMode(args)) return MainLayout::FullScreen;
    if (args.size() == 2 && args[1] == "-pdebug") return MainLayout::Small;
    return MainLayout::Sizeable;
}

MainPlacement PlaceMainForm(MainLayout layout, const Rect& virtualScreen, const Rect& workArea) {
    const int workWidth = workArea.Right - workArea.Left;
    const int workHeight = workArea.Bottom - workArea.Top;
    MainPlacement place;
    switch (layout) {
        case MainLayout::FullScreen:
            place.Client = virtualScreen;
            place.MinWidth = kFormMinWidth;
            place.MinHeight = kFormMinHeight;
            break;
        case MainLayout::Small: {
            // The small window lowers the form's minimum before taking its size.
            place.MinWidth = kSmallWidth;
            place.MinHeight = kSmallHeight;
            // Integer division truncating towards zero, also when the work
            // area is smaller than the window.
            const int left = (workWidth - kSmallWidth) / 2 + workArea.Left;
            const int top = (workHeight - kSmallHeight) / 2 + workArea.Top;
            place.Client = Rect{left, top, left + kSmallWidth, top + kSmallHeight};
            place.SmallMode = true;
            break;
        }
        case MainLayout::Sizeable: {
            place.MinWidth = kFormMinWidth;
            place.MinHeight = kFormMinHeight;
            const int left = workArea.Left + kTestWindowInset;
            const int top = workArea.Top + kTestWindowInset;
            const int width = std::max(workWidth - 2 * kTestWindowInset, kFormMinWidth);
            const int height = std::max(workHeight - 2 * kTestWindowInset, kFormMinHeight);
            place.Client = Rect{left, top, left + width, top + height};
            break;
        }
    }
    return place;
}

}  // namespace velora
