#include "view/SectionPaintState.h"

QImage& ScratchImage(int slot, QSize size, QImage::Format format)
{
    static QImage images[2];
    QImage& image = images[slot];
    if (image.size() != size || image.format() != format)
        image = QImage(size, format);
    return image;
}
