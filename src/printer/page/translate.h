// TTranslate: from page-model coordinates to device coordinates. A landscape
// page shown on a portrait surface (the preview) is turned a quarter: the
// model's x axis runs up the surface and its y axis to the right.
#pragma once

namespace zemprint {

class TTranslate {
public:
    int pageExtent() const { return pageExtent_; }
    void setPageExtent(int twips) { pageExtent_ = twips; }
    bool rotated() const { return rotated_; }
    void setRotated(bool on) { rotated_ = on; }

    // Keeps the point for the next deviceX/deviceY pair.
    void set(int x, int y)
    {
        x_ = x;
        y_ = y;
    }
    int deviceX() const { return rotated_ ? y_ : x_; }
    int deviceY() const { return rotated_ ? pageExtent_ - x_ : y_; }

private:
    int pageExtent_ = 0;
    int x_ = 0;
    int y_ = 0;
    bool rotated_ = false;
};

// The one translation of the program.
TTranslate& translation();

}  // namespace zemprint
