#pragma once

#include <QFont>
#include <array>

class QPaintDevice;

// The eight numbered fonts the view draws with, created once at start-up so that no
// font is made while painting.
class CDrawToolkit {
public:
    enum Font {
        SMALL = 0, // "MS Sans Serif" 8 pt
        SMALL_BOLD = 1, // "MS Sans Serif" 10 units high, bold
        MEDIUM = 2, // "Arial" 18 pt
        BIG = 3, // "Arial Black" 18 pt
        MARLETT = 4, // "Marlett" 12 pt
        BIG_MARLETT = 5, // "Marlett" 18 pt
        LUCIDA = 6, // "Lucida Console" 8 pt
        VERY_SMALL = 7, // "Small Fonts" 6 pt
        FontCount = 8
    };

    // The process-wide toolkit; none before Create and after Destroy.
    static CDrawToolkit* Instance();
    static CDrawToolkit* Create();
    static void Destroy();

    // Creates the fonts in the order 3, 2, 0, 1, 4, 5, 6, 7. False when the "Lucida
    // Console" face (or a metric stand-in) is not available; the caller reports it.
    bool CreateAllFonts();

    const QFont& GetFont(int number) const;

    static constexpr const char* kLucidaFailed
        = "Creating font 'Lucida Console' failed.\n\nIf this is the first time, you're running the "
          "application,\nplease try rebooting your system.\n";

private:
    std::array<QFont, FontCount> m_fonts;
};
