// Loading the order screen's requisition list: decoding its packet into the data set,
// against a bare MessagePack parse of the same bytes; and the mark-all toggle over the
// whole list, against writing the marks into a plain vector.
#include <benchmark/benchmark.h>
#include <msgpack.hpp>

#include <string>
#include <vector>

#include "core/ClientDataSet.h"
#include "core/Codec.h"

using namespace krv;

namespace {

constexpr int kRows = 100000;

std::vector<PersistentField> requisitionFields() {
    return {{"IDMARCADO", FieldType::Fixed, 1},
            {"NRREQUIPEDIDO", FieldType::Float, 0},
            {"CDSERVFILI", FieldType::String, 5},
            {"NMSERVICO", FieldType::String, 40},
            {"CDTURNO", FieldType::String, 1},
            {"NMTURNO", FieldType::String, 10},
            {"DTREQUIPEDIDO", FieldType::DateTime, 0},
            {"NRSEQREQUIPEDIDO", FieldType::String, 10},
            {"CDGRUPPROD", FieldType::String, 10},
            {"CDSUBGRPROD", FieldType::String, 10},
            {"NMSUBGRPROD", FieldType::String, 40},
            {"CDFILIOPELOG", FieldType::String, 4},
            {"NMFILIOPELOG", FieldType::String, 30},
            {"NRPEDEXOL", FieldType::String, 10},
            {"CDFILDEST", FieldType::String, 4},
            {"CDFILLANC", FieldType::String, 4},
            {"DTREQUIPEDIDO_PESQ", FieldType::String, 10},
            {"FILIOPELOG", FieldType::String, 34},
            {"CDFILIAL", FieldType::String, 4}};
}

std::string padded(int value, size_t width) {
    std::string s = std::to_string(value);
    return std::string(width > s.size() ? width - s.size() : 0, '0') + s;
}

// Twenty services, three shifts, a month of days, a handful of groupings and operators;
// a third of the requisitions already ordered.
DataPacket requisitionList() {
    static const char* services[] = {"ALMOÇO REFEITÓRIO CENTRAL", "JANTAR ALOJAMENTO NORTE", "DESJEJUM PORTARIA 2",
                                     "CEIA HOSPITAL SÃO LUCAS", "LANCHE ESCOLA MUNICIPAL"};
    static const char* shifts[] = {"MANHÃ", "TARDE", "NOITE"};
    static const char* groupings[] = {"HORTIFRUTIGRANJEIROS", "LATICÍNIOS E FRIOS", "CARNES BOVINAS RESFRIADAS",
                                      "MERCEARIA SECA"};
    static const char* operators[] = {"CENTRAL DE DISTRIBUIÇÃO SUL", "ENTREPOSTO LOGÍSTICO LESTE"};
    DataPacket p;
    for (const PersistentField& f : requisitionFields()) p.fields.push_back({f.name, f.type, f.size});
    p.rows.reserve(kRows);
    const DateTime firstDay = DateTime::fromDate(2024, 3, 1);
    for (int i = 0; i < kRows; ++i) {
        const DateTime day = firstDay.addDays(i % 30);
        const int op = i % 2;
        const std::string opCode = padded(90 + op, 4);
        p.rows.push_back({Variant(i % 4 == 0 ? "S" : "N"), Variant(double(100000 + i)), Variant(padded(i % 20 + 1, 5)),
                          Variant(std::string(services[i % 5]) + " " + std::to_string(i % 20 + 1)),
                          Variant(std::to_string(i % 3 + 1)), Variant(shifts[i % 3]), Variant(day),
                          Variant(std::to_string(i % 1000 + 1)), Variant(padded(i % 4 + 1, 10)),
                          Variant(padded(i % 4 * 10 + 11, 10)), Variant(groupings[i % 4]), Variant(opCode),
                          Variant(operators[op]), i % 3 == 0 ? Variant(padded(5000 + i / 3, 10)) : Variant(),
                          Variant("0001"), Variant("0001"), Variant(day.toBr()),
                          Variant(opCode + " - " + operators[op]), Variant("0001")});
    }
    return p;
}

const std::string& encodedList() {
    static const std::string bytes = codec::encode(Variant(requisitionList()));
    return bytes;
}

void BM_packet_baseline(benchmark::State& state) {
    const std::string& bytes = encodedList();
    for (auto _ : state) {
        const msgpack::object_handle outer = msgpack::unpack(bytes.data(), bytes.size());
        const msgpack::object_ext& ext = outer.get().via.ext;
        const msgpack::object_handle inner = msgpack::unpack(ext.data(), ext.size);
        benchmark::DoNotOptimize(inner.get().via.array.ptr[1].via.array.size);
    }
}

void BM_packet_measured(benchmark::State& state) {
    const std::string& bytes = encodedList();
    TClientDataSet list(requisitionFields());
    for (auto _ : state) {
        list.SetData(codec::decode(bytes));
        benchmark::DoNotOptimize(list.RecordCount());
    }
}

void BM_markall_baseline(benchmark::State& state) {
    std::vector<std::string> marks(kRows, "N");
    bool on = true;
    for (auto _ : state) {
        const char* mark = on ? "S" : "N";
        for (std::string& m : marks) m = mark;
        benchmark::DoNotOptimize(marks.data());
        on = !on;
    }
}

void BM_markall_measured(benchmark::State& state) {
    TClientDataSet list(requisitionFields());
    list.SetData(requisitionList());
    bool on = true;
    for (auto _ : state) {
        const std::string mark = on ? "S" : "N";
        list.DisableControls();
        for (list.First(); !list.Eof(); list.Next()) {
            list.Edit();
            list.FieldByName("IDMARCADO").SetAsString(mark);
            list.Post();
        }
        list.EnableControls();
        on = !on;
    }
}

}  // namespace

BENCHMARK(BM_packet_baseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_packet_measured)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_markall_baseline)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_markall_measured)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
