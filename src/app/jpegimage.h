#pragma once
#include <QByteArray>
#include <QImage>

// Decodes a JPEG file's bytes with libjpeg; a null image when they are not one.
QImage decodeJpeg(const QByteArray &data);
