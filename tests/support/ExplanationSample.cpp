#include "support/ExplanationSample.h"

namespace krv::test {

DataPacket ExplanationPacket() {
    DataPacket packet{{{"TPCONSUMO", FieldType::String, 1},
                       {"TPLINHA", FieldType::String, 10},
                       {"CDTURNO", FieldType::String, 1},
                       {"DSLINHA", FieldType::String, 200},
                       {"NRCOMENSAIS", FieldType::Integer, 0},
                       {"QTUNITARIA", FieldType::Float, 0},
                       {"QTLINHA", FieldType::Float, 0}},
                      {}};
    packet.rows = {
        {"C", "PRATO", "1", "0003 - Omelete", int64_t(120), 3.0, 360.0},
        {"C", "PRATO", "1", "0011 - Bolo de fubá", int64_t(120), 2.0, 240.0},
        {"C", "ACRESCIMO", "", "Acréscimo de 10%", Variant(), 10.0, 60.0},
        {"C", "ARREDONDA", "", "Arredondamento em embalagens de 30: de 660 para 660", Variant(), 30.0, 0.0},
        {"C", "TOTAL", "", "Quantidade armazenada", Variant(), Variant(), 660.0},
    };
    return packet;
}

}  // namespace krv::test
