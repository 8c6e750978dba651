#include "server/DemoSeed.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include <SQLiteCpp/VariadicBind.h>

#include "server/DemoCatalog.h"
#include "server/Storage.h"

namespace krv::server {

namespace {

using demo::Course;

constexpr int kDaysBefore = 30;
constexpr int kDaysAfter = 60;
constexpr const char* kFixedDishType = "90";
constexpr const char* kPerCapitaDishType = "91";
constexpr const char* kFixedDish = "9001";
constexpr const char* kPerCapitaDish = "9002";

struct ServiceKind {
    const char* code;
    const char* name;
    std::vector<Course> courses;  // one dish of each, per day
    double dinerShare;            // of the branch's lunch head count
};

const ServiceKind kServiceKinds[] = {
    {"0001", "Café da Manhã", {Course::Breakfast, Course::Breakfast, Course::Breakfast}, 0.6},
    {"0002",
     "Almoço",
     {Course::Rice, Course::Beans, Course::Main, Course::Side, Course::Salad, Course::Dessert, Course::Drink},
     1.0},
    {"0003", "Lanche da Tarde", {Course::Snack, Course::Drink, Course::Breakfast}, 0.3},
    {"0004",
     "Jantar",
     {Course::Rice, Course::Beans, Course::Main, Course::Side, Course::Salad, Course::Dessert, Course::Drink},
     0.5},
    {"0005", "Ceia", {Course::Breakfast, Course::Drink}, 0.2},
};

struct BranchEntry {
    const char* code;
    const char* name;
    bool logisticOperator;
    int lunchDiners;
    std::vector<int> serviceKinds;  // indexes into kServiceKinds
};

const char* const kOperatorCode = "0007";

const BranchEntry kBranches[] = {
    {"0001", "Metalúrgica Paulista", false, 900, {0, 1, 3, 4}},
    {"0002", "Hospital Santa Clara", false, 600, {0, 1, 2, 3}},
    {"0003", "Escola Jardim Aurora", false, 450, {0, 1, 2}},
    {"0004", "Refinaria Vale do Paraíba", false, 1200, {0, 1, 3, 4}},
    {"0005", "Universidade Campus Norte", false, 1500, {0, 1, 3}},
    {"0006", "Centro Empresarial Barra", false, 700, {0, 1, 2}},
    {kOperatorCode, "CD Logístico Guarulhos", true, 150, {0, 1, 3}},
};

const char* const kShiftNames[] = {"1º Turno", "2º Turno", "3º Turno"};

struct Consumption {
    const char* product;
    double quantity;
};
// Cleaning and kitchen supplies a service uses per day whatever the head count.
const Consumption kFixedCandidates[] = {
    {"Detergente neutro", 0.5}, {"Esponja de limpeza", 2}, {"Saco para lixo 100 l", 6},
    {"Pano multiuso", 2},       {"Filme PVC", 0.2},        {"Luva descartável", 20},
};
// Disposables handed to every diner.
const Consumption kPerCapita[] = {
    {"Copo descartável 200 ml", 1}, {"Guardanapo de papel", 2}, {"Talher descartável", 1}};

const char* dishType(Course course) {
    switch (course) {
        case Course::Main:
            return "01";
        case Course::Side:
            return "02";
        case Course::Rice:
        case Course::Beans:
            return "03";
        case Course::Salad:
            return "04";
        case Course::Dessert:
            return "05";
        case Course::Drink:
            return "06";
        case Course::Breakfast:
            return "07";
        case Course::Snack:
            return "08";
    }
    return "";
}

struct DishTypeEntry {
    const char* code;
    const char* name;
};
const DishTypeEntry kDishTypes[] = {
    {"01", "Prato Principal"},
    {"02", "Guarnição"},
    {"03", "Acompanhamento"},
    {"04", "Salada"},
    {"05", "Sobremesa"},
    {"06", "Bebida"},
    {"07", "Desjejum"},
    {"08", "Lanche"},
    {kFixedDishType, "Consumo Fixo"},
    {kPerCapitaDishType, "Consumo Per Capita"},
};

// Fixed seed, and only the engine's raw output (the distributions differ between
// standard libraries), so every build seeds the same company.
class DemoRandom {
public:
    size_t below(size_t n) { return engine_() % n; }
    double between(double low, double high) { return low + (high - low) * (engine_() / 4294967296.0); }

private:
    std::mt19937 engine_{52000};
};

std::string fourDigits(size_t n) {
    std::string text = std::to_string(n);
    return std::string(4 - std::min<size_t>(4, text.size()), '0') + text;
}

template <class... Values>
void insertRow(SQLite::Statement& statement, const Values&... values) {
    statement.reset();  // the lease resets only when it ends, and a loop inserts many rows
    SQLite::bind(statement, values...);
    statement.exec();
}

class Seeder {
public:
    Seeder(Connection& c, DateTime today) : c_(c), today_(today.date()) {}

    void run() {
        productCatalogue();
        dishCatalogue();
        // The operator first: the other branches refer to it as their supplier.
        for (const BranchEntry& branch : kBranches)
            if (branch.logisticOperator) companyBranch(branch);
        for (const BranchEntry& branch : kBranches)
            if (!branch.logisticOperator) companyBranch(branch);
        insertRow(*c_.statement("UPDATE parameters SET cdtipopratoconsfixo = ?, cdpratoconsfixo = ?,"
                                " cdtipopratoconsper = ?, cdpratoconsper = ? WHERE id = 1"),
                  kFixedDishType, kFixedDish, kPerCapitaDishType, kPerCapitaDish);
    }

private:
    void productCatalogue() {
        auto group = c_.statement("INSERT INTO product_group (cdgrupprod, nmgrupprod) VALUES (?, ?)");
        std::map<std::string, char> groupDigit;
        for (const auto& g : demo::productGroups()) {
            insertRow(*group, g.code, g.name);
            groupDigit[g.code] = g.codeDigit;
        }
        auto grouping =
            c_.statement("INSERT INTO product_grouping (cdgrupprod, cdsubgrprod, nmsubgrprod) VALUES (?, ?, ?)");
        std::map<std::string, std::string> groupOf;
        for (const auto& g : demo::groupings()) {
            insertRow(*grouping, g.group, g.code, g.name);
            groupOf[g.code] = g.group;
        }
        auto product = c_.statement(
            "INSERT INTO product (cdproduto, nmproduto, sgunidade, cdgrupprod, cdsubgrprod, qtembalagem)"
            " VALUES (?, ?, ?, ?, ?, ?)");
        std::map<std::string, int> itemsInGrouping;
        for (const auto& p : demo::products()) {
            const std::string& groupCode = groupOf.at(p.grouping);
            // Code picture 9.99.999.9999: group, grouping, family, item.
            const std::string code = std::string(1, groupDigit.at(groupCode)) + std::string(p.grouping + 2) + "001" +
                                     fourDigits(size_t(++itemsInGrouping[p.grouping]));
            insertRow(*product, code, p.name, p.unit, groupCode, p.grouping, p.packageSize);
            productCode_[p.name] = code;
        }
    }

    void dishCatalogue() {
        auto type = c_.statement("INSERT INTO dish_type (cdtipoprato, nmtipoprato) VALUES (?, ?)");
        for (const auto& t : kDishTypes) insertRow(*type, t.code, t.name);
        auto dish = c_.statement("INSERT INTO dish (cdprato, nmprato, cdtipoprato) VALUES (?, ?, ?)");
        auto recipe = c_.statement("INSERT INTO recipe (cdprato, cdproduto, qtpercapita) VALUES (?, ?, ?)");
        size_t number = 0;
        for (const auto& d : demo::dishes()) {
            const std::string code = fourDigits(++number);
            insertRow(*dish, code, d.name, dishType(d.course));
            for (const auto& ingredient : d.recipe)
                insertRow(*recipe, code, product(ingredient.product), ingredient.perCapita);
            dishesOf_[d.course].push_back(code);
        }
        insertRow(*dish, kFixedDish, "Consumo Fixo", kFixedDishType);
        insertRow(*dish, kPerCapitaDish, "Consumo Per Capita", kPerCapitaDishType);
    }

    void companyBranch(const BranchEntry& entry) {
        auto branch =
            c_.statement("INSERT INTO branch (cdfilial, nmfilial, ol, cdfiliopelog, dtproc) VALUES (?, ?, ?, ?, ?)");
        SQLite::bind(*branch, entry.code, entry.name, entry.logisticOperator ? "S" : "N");
        if (entry.logisticOperator)
            branch->bind(4);
        else
            branch->bind(4, kOperatorCode);
        branch->bind(5, today_.toIso());
        branch->exec();
        for (int kind : entry.serviceKinds) service(entry, kServiceKinds[kind]);
    }

    void service(const BranchEntry& branch, const ServiceKind& kind) {
        insertRow(*c_.statement("INSERT INTO service (cdfilial, cdservfili, nmservico) VALUES (?, ?, ?)"), branch.code,
                  kind.code, kind.name);
        const size_t shiftCount = 1 + random_.below(3);
        auto shift = c_.statement("INSERT INTO shift (cdfilial, cdservfili, cdturno, nmturno) VALUES (?, ?, ?, ?)");
        for (size_t s = 0; s < shiftCount; ++s)
            insertRow(*shift, branch.code, kind.code, std::to_string(s + 1), kShiftNames[s]);

        auto fixed = c_.statement(
            "INSERT INTO fixed_consumption (cdfilial, cdservfili, cdproduto, qtdiaria) VALUES (?, ?, ?, ?)");
        const size_t first = random_.below(std::size(kFixedCandidates));
        for (size_t k = 0; k < 3; ++k) {
            const Consumption& item = kFixedCandidates[(first + k) % std::size(kFixedCandidates)];
            insertRow(*fixed, branch.code, kind.code, product(item.product), item.quantity * random_.between(0.5, 1.5));
        }
        auto perCapita = c_.statement(
            "INSERT INTO percapita_consumption (cdfilial, cdservfili, cdproduto, qtpercapita) VALUES (?, ?, ?, ?)");
        for (const Consumption& item : kPerCapita)
            insertRow(*perCapita, branch.code, kind.code, product(item.product), item.quantity);

        for (int offset = -kDaysBefore; offset <= kDaysAfter; ++offset)
            day(branch, kind, shiftCount, today_.addDays(offset));
    }

    void day(const BranchEntry& branch, const ServiceKind& kind, size_t shiftCount, DateTime date) {
        const std::vector<std::string> dishes = menuOf(kind);
        static constexpr double kWeekdayFactor[] = {0.5, 1, 1, 1, 1, 1, 0.7};  // Sunday first
        const double perShift = branch.lunchDiners * kind.dinerShare * kWeekdayFactor[date.dayOfWeek()] / shiftCount;
        auto menu = c_.statement(
            "INSERT INTO menu (cdfilial, cdservfili, cdturno, dtcardapio, cdprato) VALUES (?, ?, ?, ?, ?)");
        auto diners = c_.statement(
            "INSERT INTO diners_forecast (cdfilial, cdservfili, cdturno, dtprevisao, nrcomensais) VALUES (?, ?, ?, ?, "
            "?)");
        const std::string iso = date.toIso();
        for (size_t s = 0; s < shiftCount; ++s) {
            const std::string shift = std::to_string(s + 1);
            for (const std::string& dish : dishes) insertRow(*menu, branch.code, kind.code, shift, iso, dish);
            insertRow(*diners, branch.code, kind.code, shift, iso, int64_t(perShift * random_.between(0.9, 1.1) + 1));
        }
    }

    // One dish of each course the service serves, never the same dish twice in a day.
    std::vector<std::string> menuOf(const ServiceKind& kind) {
        std::set<std::string> chosen;
        std::vector<std::string> menu;
        for (Course course : kind.courses) {
            const auto& pool = dishesOf_.at(course);
            std::string dish;
            do dish = pool[random_.below(pool.size())];
            while (chosen.count(dish));
            chosen.insert(dish);
            menu.push_back(dish);
        }
        return menu;
    }

    const std::string& product(const char* name) const {
        const auto found = productCode_.find(name);
        if (found == productCode_.end())
            throw std::logic_error(std::string("Produto de demonstração ausente: ") + name);
        return found->second;
    }

    Connection& c_;
    DateTime today_;
    DemoRandom random_;
    std::map<std::string, std::string> productCode_;
    std::map<Course, std::vector<std::string>> dishesOf_;
};

}  // namespace

bool seedDemo(Connection& connection, DateTime today) {
    return connection.write([&](Connection& c) {
        auto branches = c.statement("SELECT count(*) FROM branch");
        branches->executeStep();
        const bool empty = branches->getColumn(0).getInt() == 0;
        if (empty) Seeder(c, today).run();
        return empty;
    });
}

}  // namespace krv::server
