// What orders buy, in packages, for one logistic operator's kitchens of the demo company
// (--seed demo:N), a week and a month: with netting off (each requisition rounded to packages
// by its calculation, as "Arredondar Quantidades" does), with netting on and no counts, and
// the lower bound (each kitchen's need of a product rounded once per shelf-life window). Then
// the preview and the generation timed with netting on against off. Usage:
//   bench_netting [N …]   (default 70)
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "BenchSession.h"
#include "PackageBound.h"
#include "server/model/Clock.h"
#include "server/objects/PedReqObject.h"
#include "server/service/Application.h"
#include "support/TempDir.h"

using namespace krv;
using Clock = std::chrono::steady_clock;

namespace {

constexpr double kBoundMargin = 0.01;  // netting on buys at most 1 % over the bound
constexpr double kSlowerAtMost = 1.5;  // its preview and generation against netting off

class Company {
public:
    Company(const std::string& file, int branches) {
        server::ApplicationOptions options{file, true};
        options.demoSize = server::DemoSize{branches};
        app_ = std::make_unique<server::Application>(options);
        today = server::localNow().date();
        // The logistic operator with the most kitchens.
        sql().each(
            "SELECT cdfiliopelog FROM branch WHERE ol = 'N' GROUP BY cdfiliopelog"
            " ORDER BY count(*) DESC, cdfiliopelog LIMIT 1",
            {}, [&](const server::db::ResultRow& row) { supplier = row.text(0); });
        sql().each("SELECT cdfilial FROM branch WHERE cdfiliopelog = ? AND ol = 'N' ORDER BY cdfilial", {supplier},
                   [&](const server::db::ResultRow& row) { kitchens.push_back(row.text(0)); });
        if (kitchens.empty()) throw std::runtime_error("the demo has no kitchen supplied by a logistic operator");
        shifts =
            number(call("GetNrListaTurno", {number(call("GetNrListaServ", {kitchens.front(), "T", ""})), "", "T"}));
    }
    server::db::Connection& sql() { return app_->database().connection(); }

    Variant call(const char* method, std::vector<Variant> args) {
        const rpc::Outcome outcome =
            app_->dispatcher().dispatch(kBenchCaller, server::PedReqObject::kName, method, args);
        if (!outcome.ok) throw std::runtime_error(std::string(method) + ": " + outcome.result.asString());
        const Variant::Array& result = outcome.result.array();
        if (!result.at(0).asBool()) throw std::runtime_error(std::string(method) + ": " + result.at(1).asString());
        return result.at(1);
    }
    static std::string number(const Variant& answer) { return answer.array().at(0).asString(); }

    void calculate(DateTime end, bool rounded) {
        reopen();
        call("CalculaRequisicoesFiliais",
             {supplier, today, end, 10.5, rounded ? "S" : "N", "CFP", server::kDemoOperator});
    }
    void reopen() {
        sql().write([](server::db::Connection& c) {
            c.execute("UPDATE requisition SET nrpedexol = NULL WHERE nrpedexol IS NOT NULL");
            c.execute("DELETE FROM purchase_order_item_source");
            c.execute("DELETE FROM purchase_order");
        });
    }
    std::string keys() const {
        std::string text = "_";
        for (const std::string& k : kitchens) text += k + "_";
        return text;
    }
    // Every requisition of the kitchens listed and marked, as the order screen sends them.
    std::string list(DateTime end) {
        DataPacket listed = call("getRequisicoes", {keys(), today, end, shifts, "T"}).packet();
        for (Row& row : listed.rows) row[server::kListMark] = Variant("S");
        return number(call("GetNrListaRequiPedido", {Variant(std::move(listed)), "", "N"}));
    }
    std::vector<Variant> orderArgs(const std::string& list, DateTime end, bool netted) const {
        return {kitchens.front(),
                today,
                end,
                list,
                "S",
                server::kDemoOperator,
                kitchens.front(),
                "",
                "",
                netted ? "N" : "S",
                netted ? "S" : "N"};
    }
    double packagesNeeded() {
        return sql()
                   .integer(
                       "SELECT CAST(round(sum(i.qtrequisitada / p.qtembalagem) * 1000) AS BIGINT)"
                       " FROM requisition_item i JOIN product p ON p.cdproduto = i.cdproduto")
                   .value_or(0) /
               1000.0;
    }
    double seconds(const std::function<void()>& work) {
        const auto started = Clock::now();
        work();
        return std::chrono::duration<double>(Clock::now() - started).count();
    }

    DateTime today;
    std::string supplier, shifts;
    std::vector<std::string> kitchens;

private:
    std::unique_ptr<server::Application> app_;
};

bool runCase(int branches, const support::TempDir& dir) {
    Company company(dir.file("netting-" + std::to_string(branches) + ".db"), branches);
    bool met = true;
    std::printf("demo:%d, logistic operator %s, %zu kitchens\n", branches, company.supplier.c_str(),
                company.kitchens.size());
    std::printf("  %-6s %12s %12s %12s %12s %8s  %s\n", "period", "needed", "off", "on", "bound", "on/bound", "met");
    for (const int days : {7, 31}) {
        const DateTime end = company.today.addDays(days - 1);
        company.calculate(end, true);
        const std::string roundedList = company.list(end);
        company.call("GeraPedidoPorRequisicao", company.orderArgs(roundedList, end, false));
        const double off = server::test::packagesOrdered(company.sql());
        company.calculate(end, false);
        const double needed = company.packagesNeeded(), bound = server::test::lowerBoundPackages(company.sql());
        const std::string list = company.list(end);
        company.call("GeraPedidoPorRequisicao", company.orderArgs(list, end, true));
        const double on = server::test::packagesOrdered(company.sql());
        const bool ok = on <= bound * (1 + kBoundMargin) && on > 0;
        met = met && ok;
        std::printf("  %-6s %12.1f %12.1f %12.1f %12.1f %8.3f  %s\n", days == 7 ? "week" : "month", needed, off, on,
                    bound, on / bound, ok ? "yes" : "NO");
    }
    // Times, on the month's unrounded requisitions: the preview and the generation as the
    // screen confirms them, netting off (each line rounded to packages) and on.
    const DateTime end = company.today.addDays(30);
    std::printf("  %-28s %10s %10s %8s  %s\n", "month, one operator", "off (s)", "on (s)", "ratio", "met");
    double time[2][2] = {};
    for (const bool netted : {false, true}) {
        company.reopen();
        const std::string list = company.list(end);
        time[netted][0] =
            company.seconds([&] { company.call("PreviaPedidoPorRequisicao", company.orderArgs(list, end, netted)); });
        time[netted][1] =
            company.seconds([&] { company.call("GeraPedidoPorRequisicao", company.orderArgs(list, end, netted)); });
    }
    for (const int step : {0, 1}) {
        const double ratio = time[1][step] / time[0][step];
        const bool ok = ratio <= kSlowerAtMost;
        met = met && ok;
        std::printf("  %-28s %10.2f %10.2f %8.2f  %s\n", step ? "generation" : "preview", time[0][step], time[1][step],
                    ratio, ok ? "yes" : "NO");
    }
    return met;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i) sizes.push_back(std::stoi(argv[i]));
    if (sizes.empty()) sizes = {70};
    support::TempDir dir;
    bool met = true;
    for (const int branches : sizes) {
        try {
            met = runCase(branches, dir) && met;
        } catch (const std::exception& e) {
            // A case that could not be measured is never met.
            std::printf("demo:%d: NO (%s)\n", branches, e.what());
            met = false;
        }
    }
    return met ? 0 : 1;
}
