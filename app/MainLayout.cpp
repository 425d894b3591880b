#include "app/MainLayout.h"

#include <algorithm>

namespace app {

BandGeometry alignBands(QSize client) {
    const int pagesHeight = std::min(layout::kMusicPagesHeight, client.height());
    const int upperHeight = client.height() - pagesHeight;
    const int panelWidth = std::min(layout::kCommandPanelWidth, client.width());
    return {
        QRect(client.width() - panelWidth, 0, panelWidth, upperHeight),
        QRect(0, upperHeight, client.width(), pagesHeight),
    };
}

NavigationHeights navigationHeights(int tabClientHeight, int folderEditHeight) {
    const int folderTree = tabClientHeight - folderEditHeight;
    const int fileList = folderTree + folderEditHeight;
    return {folderTree, fileList, fileList};
}

int hiddenPlaylistTop(int top, int height) {
    while (top > -height)
        top -= layout::kPlaylistSlideStep;
    return top;
}

} // namespace app
