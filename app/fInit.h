#pragma once

#include <QWidget>

class QLabel;

namespace app {

// The splash window shown while the windows are created: the project's picture with the
// text "Chargement en cours ..." over its upper part. No behaviour of its own.
class TINIT : public QWidget {
    Q_OBJECT
public:
    static constexpr QSize kSize{640, 480};

    explicit TINIT(QWidget* parent = nullptr);

    // Puts the window in the middle of the screen it is on.
    void centreOnScreen();

private:
    QLabel* m_picture; // children of this window
    QLabel* m_text;
};

} // namespace app
