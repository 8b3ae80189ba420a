#pragma once

class QPixmap;

// The 48 x 48 pictures of the top bar's buttons, drawn rather than shipped as files.
QPixmap RedCrossPicture();
QPixmap BlueDiskettePicture();
QPixmap GreenArrowPicture();
