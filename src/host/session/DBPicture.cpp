#include "host/session/DBPicture.h"

#include <map>
#include <numeric>
#include <stdexcept>

#include "core/Errors.h"
#include "host/models/Convert.h"
#include "host/session/NetConnection.h"
#include "host/session/Session.h"
#include "host/session/ServerOutcome.h"

namespace krv::host {

TDBPicture::TDBPicture(const QString& picture) : picture_(picture) {
    if (picture.isEmpty()) return;
    for (const QString& level : picture.split(u'.')) {
        if (level.isEmpty()) throw std::invalid_argument("Máscara de código inválida: '" + ToStd(picture) + "'");
        levelWidths_.push_back(int(level.size()));
    }
}

int TDBPicture::TamAcNivel(const QString& level) const {
    bool ok = false;
    const int number = level.trimmed().toInt(&ok);
    if (!ok) throw std::invalid_argument("Nível inválido: '" + ToStd(level) + "'");
    return TamAcNivel(number);
}

int TDBPicture::TamAcNivel(int level) const {
    if (level <= 0) return 0;
    const size_t upTo = std::min(size_t(level), levelWidths_.size());
    return std::accumulate(levelWidths_.begin(), levelWidths_.begin() + ptrdiff_t(upTo), 0);
}

QString TDBPicture::Format(const QString& code) const {
    QString out;
    qsizetype at = 0;
    for (const int width : levelWidths_) {
        if (at >= code.size()) break;
        if (at > 0) out += u'.';
        out += code.mid(at, width);
        at += width;
    }
    if (at < code.size()) out += (out.isEmpty() ? QString() : QStringLiteral(".")) + code.mid(at);
    return out;
}

namespace {

struct CachedPicture {
    TDBPicture picture;
    bool current = false;
};

std::map<int, CachedPicture>& pictureCache() {
    static std::map<int, CachedPicture> cache;
    return cache;
}

TDBPicture askPicture(int type) {
    const Variant payload = ServerPayload(SessionConnection().Call("DBPictObj", {type}));
    if (!payload.isString()) throw EServerError("Resposta inválida do servidor");
    try {
        return TDBPicture(ToQString(payload));
    } catch (const std::invalid_argument& e) {
        throw EServerError(e.what());
    }
}

}  // namespace

TDBPicture& DBPictObj(int type) {
    CachedPicture& entry = pictureCache()[type];
    if (!entry.current) {
        entry.picture = askPicture(type);
        entry.current = true;
    }
    return entry.picture;
}

void InvalidateDBPictures() {
    for (auto& [type, entry] : pictureCache()) entry.current = false;
}

TDBPicture ProductPicture() noexcept {
    try {
        return DBPictObj(0);
    } catch (...) {
        return TDBPicture();
    }
}

std::function<QString(const Variant&)> ProductCodeFormat() {
    return [picture = ProductPicture()](const Variant& code) { return picture.Format(ToQString(code).trimmed()); };
}

}  // namespace krv::host
