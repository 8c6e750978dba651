#include "server/seed/DemoSeed.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "server/seed/DemoCatalog.h"
#include "server/storage/Database.h"

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

class Seeder {
public:
    Seeder(db::Connection& c, DateTime today) : c_(c), today_(today.date()) {}

    void run() {
        productCatalogue();
        dishCatalogue();
        // The operator first: the other branches refer to it as their supplier.
        for (const BranchEntry& branch : kBranches)
            if (branch.logisticOperator) companyBranch(branch);
        for (const BranchEntry& branch : kBranches)
            if (!branch.logisticOperator) companyBranch(branch);
        c_.execute(
            "UPDATE parameters SET cdtipopratoconsfixo = ?, cdpratoconsfixo = ?, cdtipopratoconsper = ?,"
            " cdpratoconsper = ? WHERE id = 1",
            {kFixedDishType, kFixedDish, kPerCapitaDishType, kPerCapitaDish});
    }

private:
    void productCatalogue() {
        const char* const group = "INSERT INTO product_group (cdgrupprod, nmgrupprod) VALUES (?, ?)";
        std::map<std::string, char> groupDigit;
        for (const auto& g : demo::productGroups()) {
            c_.execute(group, {g.code, g.name});
            groupDigit[g.code] = g.codeDigit;
        }
        const char* const grouping =
            "INSERT INTO product_grouping (cdgrupprod, cdsubgrprod, nmsubgrprod) VALUES (?, ?, ?)";
        std::map<std::string, std::string> groupOf;
        for (const auto& g : demo::groupings()) {
            c_.execute(grouping, {g.group, g.code, g.name});
            groupOf[g.code] = g.group;
        }
        const char* const product =
            "INSERT INTO product (cdproduto, nmproduto, sgunidade, cdgrupprod, cdsubgrprod, qtembalagem)"
            " VALUES (?, ?, ?, ?, ?, ?)";
        std::map<std::string, int> itemsInGrouping;
        for (const auto& p : demo::products()) {
            const std::string& groupCode = groupOf.at(p.grouping);
            // Code picture 9.99.999.9999: group, grouping, family, item.
            const std::string code = std::string(1, groupDigit.at(groupCode)) + std::string(p.grouping + 2) + "001" +
                                     fourDigits(size_t(++itemsInGrouping[p.grouping]));
            c_.execute(product, {code, p.name, p.unit, groupCode, p.grouping, p.packageSize});
            productCode_[p.name] = code;
        }
    }

    void dishCatalogue() {
        const char* const type = "INSERT INTO dish_type (cdtipoprato, nmtipoprato) VALUES (?, ?)";
        for (const auto& t : kDishTypes) c_.execute(type, {t.code, t.name});
        const char* const dish = "INSERT INTO dish (cdprato, nmprato, cdtipoprato) VALUES (?, ?, ?)";
        const char* const recipe = "INSERT INTO recipe (cdprato, cdproduto, qtpercapita) VALUES (?, ?, ?)";
        size_t number = 0;
        for (const auto& d : demo::dishes()) {
            const std::string code = fourDigits(++number);
            c_.execute(dish, {code, d.name, dishType(d.course)});
            for (const auto& ingredient : d.recipe)
                c_.execute(recipe, {code, product(ingredient.product), ingredient.perCapita});
            dishesOf_[d.course].push_back(code);
        }
        c_.execute(dish, {kFixedDish, "Consumo Fixo", kFixedDishType});
        c_.execute(dish, {kPerCapitaDish, "Consumo Per Capita", kPerCapitaDishType});
    }

    void companyBranch(const BranchEntry& entry) {
        c_.execute("INSERT INTO branch (cdfilial, nmfilial, ol, cdfiliopelog, dtproc) VALUES (?, ?, ?, ?, ?)",
                   {entry.code, entry.name, entry.logisticOperator ? "S" : "N",
                    entry.logisticOperator ? db::Param(nullptr) : db::Param(kOperatorCode), today_});
        for (int kind : entry.serviceKinds) service(entry, kServiceKinds[kind]);
    }

    void service(const BranchEntry& branch, const ServiceKind& kind) {
        c_.execute("INSERT INTO service (cdfilial, cdservfili, nmservico) VALUES (?, ?, ?)",
                   {branch.code, kind.code, kind.name});
        const size_t shiftCount = 1 + random_.below(3);
        for (size_t s = 0; s < shiftCount; ++s)
            c_.execute("INSERT INTO shift (cdfilial, cdservfili, cdturno, nmturno) VALUES (?, ?, ?, ?)",
                       {branch.code, kind.code, std::to_string(s + 1), kShiftNames[s]});

        const size_t first = random_.below(std::size(kFixedCandidates));
        for (size_t k = 0; k < 3; ++k) {
            const Consumption& item = kFixedCandidates[(first + k) % std::size(kFixedCandidates)];
            c_.execute("INSERT INTO fixed_consumption (cdfilial, cdservfili, cdproduto, qtdiaria) VALUES (?, ?, ?, ?)",
                       {branch.code, kind.code, product(item.product), item.quantity * random_.between(0.5, 1.5)});
        }
        for (const Consumption& item : kPerCapita)
            c_.execute(
                "INSERT INTO percapita_consumption (cdfilial, cdservfili, cdproduto, qtpercapita) VALUES (?, ?, ?, ?)",
                {branch.code, kind.code, product(item.product), item.quantity});

        for (int offset = -kDaysBefore; offset <= kDaysAfter; ++offset)
            day(branch, kind, shiftCount, today_.addDays(offset));
    }

    void day(const BranchEntry& branch, const ServiceKind& kind, size_t shiftCount, DateTime date) {
        const std::vector<std::string> dishes = menuOf(kind);
        static constexpr double kWeekdayFactor[] = {0.5, 1, 1, 1, 1, 1, 0.7};  // Sunday first
        const double perShift = branch.lunchDiners * kind.dinerShare * kWeekdayFactor[date.dayOfWeek()] / shiftCount;
        for (size_t s = 0; s < shiftCount; ++s) {
            const std::string shift = std::to_string(s + 1);
            for (const std::string& dish : dishes)
                c_.execute(
                    "INSERT INTO menu (cdfilial, cdservfili, cdturno, dtcardapio, cdprato) VALUES (?, ?, ?, ?, ?)",
                    {branch.code, kind.code, shift, date, dish});
            c_.execute(
                "INSERT INTO diners_forecast (cdfilial, cdservfili, cdturno, dtprevisao, nrcomensais)"
                " VALUES (?, ?, ?, ?, ?)",
                {branch.code, kind.code, shift, date, int64_t(perShift * random_.between(0.9, 1.1) + 1)});
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

    db::Connection& c_;
    DateTime today_;
    DemoRandom random_;
    std::map<std::string, std::string> productCode_;
    std::map<Course, std::vector<std::string>> dishesOf_;
};

}  // namespace

bool seedDemo(db::Connection& connection, DateTime today) {
    // Exclusive: two servers started at once on one empty database must seed it once.
    return connection.write(
        [&](db::Connection& c) {
            const bool empty = c.integer("SELECT count(*) FROM branch") == 0;
            if (empty) Seeder(c, today).run();
            return empty;
        },
        db::WriteKind::Exclusive);
}

}  // namespace krv::server
