#pragma once
// The application's icon (resource 101), drawn rather than stored so that every size is sharp: a handheld
// whose white screen holds two lines of text and the caret.
#include <QIcon>
#include <QImage>

namespace tavik {

QImage paintApplicationIcon(int size);
QIcon applicationIcon();

} // namespace tavik
