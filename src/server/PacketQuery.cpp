#include "server/PacketQuery.h"

#include <stdexcept>

namespace krv::server {

namespace {

Variant columnValue(const SQLite::Column& column, const FieldDef& field) {
    if (column.isNull()) return {};
    switch (field.type) {
        case FieldType::String:
        case FieldType::Fixed:
            return column.getString();
        case FieldType::Integer:
            return int64_t(column.getInt64());
        case FieldType::Float:
            return column.getDouble();
        case FieldType::Bool:
            return column.getInt() != 0;
        case FieldType::DateTime: {
            const auto parsed = DateTime::parseIso(column.getString());
            if (!parsed) throw std::runtime_error("Data inválida no banco de dados em " + field.name + ".");
            return *parsed;
        }
    }
    return {};
}

}  // namespace

DataPacket queryPacket(SQLite::Statement& query, std::vector<FieldDef> fields) {
    if (query.getColumnCount() != int(fields.size()))
        throw std::logic_error("A consulta não tem uma coluna por campo do pacote.");
    DataPacket packet;
    packet.fields = std::move(fields);
    while (query.executeStep()) {
        Row row;
        row.reserve(packet.fields.size());
        for (size_t i = 0; i < packet.fields.size(); ++i)
            row.push_back(columnValue(query.getColumn(int(i)), packet.fields[i]));
        packet.rows.push_back(std::move(row));
    }
    return packet;
}

}  // namespace krv::server
