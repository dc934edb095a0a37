#include "shell/toolkit/DrawToolkit.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QStringList>
#include <memory>

namespace {

std::unique_ptr<CDrawToolkit> g_toolkit;

// The layout was measured with these faces; the substitutes are Linux fonts of similar
// metrics, so texts keep their widths where the first face is missing.
QFont MakeFont(const QString& face, const QStringList& substitutes, qreal points)
{
    QFont font(face);
    font.setFamilies(QStringList { face } + substitutes);
    font.setPointSizeF(points);
    return font;
}

} // namespace

CDrawToolkit* CDrawToolkit::Instance()
{
    return g_toolkit.get();
}

CDrawToolkit* CDrawToolkit::Create()
{
    g_toolkit = std::make_unique<CDrawToolkit>();
    return g_toolkit.get();
}

void CDrawToolkit::Destroy()
{
    g_toolkit.reset();
}

bool CDrawToolkit::CreateAllFonts()
{
    const QStringList sans { "Liberation Sans", "Arial", "DejaVu Sans", "Sans Serif" };
    const QStringList mono { "Liberation Mono", "Courier New", "DejaVu Sans Mono", "Monospace" };
    m_fonts[BIG] = MakeFont("Arial Black", sans, 18);
    m_fonts[BIG].setWeight(QFont::Black);
    m_fonts[MEDIUM] = MakeFont("Arial", sans, 18);
    m_fonts[SMALL] = MakeFont("MS Sans Serif", sans, 8);
    m_fonts[SMALL_BOLD] = MakeFont("MS Sans Serif", sans, 8);
    m_fonts[SMALL_BOLD].setPixelSize(10);
    m_fonts[SMALL_BOLD].setBold(true);
    m_fonts[MARLETT] = MakeFont("Marlett", sans, 12);
    m_fonts[BIG_MARLETT] = MakeFont("Marlett", sans, 18);
    m_fonts[LUCIDA] = MakeFont("Lucida Console", mono, 8);
    m_fonts[VERY_SMALL] = MakeFont("Small Fonts", sans, 6);
    // Only the console face is checked: the others fall back silently.
    const QStringList families = QFontDatabase::families();
    for (const QString& f : m_fonts[LUCIDA].families()) {
        if (families.contains(f, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

const QFont& CDrawToolkit::GetFont(int number) const
{
    if (number < 0 || number >= FontCount)
        return m_fonts[SMALL];
    return m_fonts[static_cast<size_t>(number)];
}
