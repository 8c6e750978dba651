#pragma once
#include <QString>
#include <functional>
#include <vector>

#include "core/Variant.h"

namespace krv::host {

// The structure of a hierarchical code, as a picture such as "9.99.999.9999": one group of
// characters per level, levels separated by dots. Codes are stored without the dots.
class TDBPicture {
public:
    // Throws std::invalid_argument for a picture with an empty level ("9..99", "9.").
    explicit TDBPicture(const QString& picture = QString());

    const QString& Picture() const { return picture_; }
    int GetTtNiveis() const { return int(levelWidths_.size()); }  // "" -> 0

    // Characters of a code up to and including `level` (decimal text), dots not counted.
    // "9.99.999.9999": 1 -> 1, 2 -> 3, 3 -> 6, 4 -> 10. Level 0 or below -> 0; beyond the
    // last level -> the full length. Text that is no integer throws std::invalid_argument.
    int TamAcNivel(const QString& level) const;
    int TamAcNivel(int level) const;

    // A stored code as people read it: "1010010009" -> "1.01.001.0009". A shorter code stops
    // where it ends; characters beyond the picture follow after one more dot.
    QString Format(const QString& code) const;

private:
    QString picture_;
    std::vector<int> levelWidths_;
};

// The code picture of a picture type (0 = products), asked of "Host.rdmSessao" once per
// session and kept; the reference stays valid for the life of the process.
// Throws EServerError for an unknown type or a malformed picture, ENetError for the transport.
TDBPicture& DBPictObj(int type);

// Makes every cached picture be asked again on its next use (a new session).
void InvalidateDBPictures();

// The picture every window, grid and file for people shows product codes with; one without
// levels, which leaves codes as stored, when it cannot be had. A grid keeps a copy, so that
// painting never asks the server.
TDBPicture ProductPicture() noexcept;
// A grid column's text for product codes, with the picture of the moment it is made.
std::function<QString(const Variant&)> ProductCodeFormat();

}  // namespace krv::host
