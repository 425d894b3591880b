#pragma once

#include <QRect>
#include <QSize>

namespace app {

// The main window's fixed geometry, in design coordinates (client area 782 x 522).
namespace layout {

inline constexpr QSize kDesignClient{782, 522};
inline constexpr int kMusicPagesHeight = 274;   // pgMusic, aligned to the bottom edge
inline constexpr int kCommandPanelWidth = 283;  // PanelCommand, aligned to the right edge
inline constexpr QRect kDeck1{11, 8, 260, 232}; // each deck over a 260 x 232 picture
inline constexpr QRect kDeck2{404, 8, 260, 232};
inline constexpr QRect kClock{844, 75, 111, 35}; // edTime, inside the command panel once maximised
inline constexpr int kPlaylistSlideStep = 155;

} // namespace layout

// Where the two aligned bands go for a client size: the command panel takes the right edge
// of what the page control leaves above it.
struct BandGeometry {
    QRect commandPanel;
    QRect musicPages;
};
BandGeometry alignBands(QSize client);

// Heights of the Navigation tab's lists for its client height and the folder edit's height.
struct NavigationHeights {
    int folderTree; // lbDossier
    int fileList;   // lbFiles
    int playlist;   // lbPlAudio
};
NavigationHeights navigationHeights(int tabClientHeight, int folderEditHeight);

// Top edge of the playlist list once slid up from `top` in steps until it is above its own
// height, so it starts hidden above its area.
int hiddenPlaylistTop(int top, int height);

} // namespace app
