#pragma once

#include "app/base/UserMessages.h"
#include "document/QuiltmarkDoc.h"
#include "view/QuiltmarkView.h"

#include <QImage>
#include <QPainter>
#include <memory>

// A document on the shipped fixture library with one section to draw.
struct CViewTestDoc {
    CRecordingMessages messages;
    CQuiltmarkDoc doc { messages, QUILTMARK_SOURCE_DIR "/resources/metalib.xml" };

    CViewTestDoc() { doc.OnNewDocument(); }

    int Type(const char* name) const { return doc.GetLibrary().IndexOfType(name); }

    CSubDoc& SetUp(
        CSubDoc& section, const char* type, int w, int h, int universe = 0, int firstAddress = 0)
    {
        section.setup.fix_type = Type(type);
        section.setup.matrix_width = w;
        section.setup.matrix_height = h;
        section.setup.base_universe = universe;
        section.setup.addr_first = firstAddress;
        section.SetUp();
        section.RecountUniverses();
        doc.RebuildTables();
        return section;
    }
    CSubDoc& SetUp(const char* type, int w, int h, int universe = 0, int firstAddress = 0)
    {
        return SetUp(*doc.GetCurrentSection(), type, w, h, universe, firstAddress);
    }
};

// A view on the document, shown offscreen at a fixed size, at 100 % unless told otherwise.
struct CViewUnderTest {
    std::unique_ptr<CQuiltmarkView> view;

    explicit CViewUnderTest(CQuiltmarkDoc& doc, QSize size = QSize(900, 700))
        : view(std::make_unique<CQuiltmarkView>(doc))
    {
        view->resize(size);
        view->show();
        view->SetZoom(100);
    }

    QImage Render() const
    {
        QImage image(view->viewport()->size(), QImage::Format_RGB32);
        QPainter painter(&image);
        view->RenderTo(painter, image.rect());
        return image;
    }
};

inline QColor At(const QImage& image, QPoint p)
{
    return image.pixelColor(p);
}

// Pixels in `r` close to `colour` (text is antialiased, so exact matches are rare).
inline int CountNear(const QImage& image, const QRect& r, const QColor& colour, int tolerance = 24)
{
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green())
                    + std::abs(c.blue() - colour.blue())
                < tolerance)
                ++n;
        }
    }
    return n;
}
