// tarnwick_resources.h - the pictures of the dialog program, shipped in the Qt resource system.
#pragma once

#include <QString>

// The application icon (resource 128) and the product picture (resource 137).
inline const QString kIconResource = QStringLiteral(":/tarnwick/128.png");
inline const QString kProductPictureResource = QStringLiteral(":/tarnwick/137.png");

// Registers the pictures with the resource system; the library holds them, so whoever uses
// them calls this first. Safe to call more than once.
void InitTarnwickResources();
