#include "server/seed/DemoSeed.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "server/seed/DemoCatalog.h"
#include "server/storage/Database.h"
#include "server/storage/RowBatches.h"

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

// What a branch of the seeded company serves: each service with the head count its
// diner forecasts start from.
struct ServicePlan {
    int kind;  // index into kServiceKinds
    double diners;
};
struct BranchPlan {
    std::string code, name;
    bool logisticOperator = false;
    std::string supplier;  // empty for an operator
    std::vector<ServicePlan> services;
};

// The large company's kitchens: how often a branch serves each service kind besides lunch,
// which they all serve, and the head count a service's day stays within.
constexpr double kServiceChance[] = {0.6, 1.0, 0.35, 0.45, 0.2};
constexpr double kFewestDiners = 60, kMostDiners = 300;
const char* const kSiteKinds[] = {"Hospital", "Escola",  "Metalúrgica", "Refinaria",
                                  "Campus",   "Fábrica", "Escritório",  "Usina"};
const char* const kPlaces[] = {"Campinas", "Santos", "Sorocaba",   "Jundiaí",  "Guarulhos", "Osasco",    "Barueri",
                               "Taubaté",  "Franca", "Bauru",      "Marília",  "Limeira",   "Americana", "Piracicaba",
                               "Atibaia",  "Itu",    "Indaiatuba", "Botucatu", "Registro",  "Lins",      "Assis",
                               "Ourinhos", "Jaú",    "Caieiras",   "Cotia"};

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

// The demo's seven branches as they always were.
std::vector<BranchPlan> demoPlan() {
    std::vector<BranchPlan> plan;
    for (const BranchEntry& entry : kBranches) {
        BranchPlan branch{
            entry.code, entry.name, entry.logisticOperator, entry.logisticOperator ? "" : kOperatorCode, {}};
        for (int kind : entry.serviceKinds)
            branch.services.push_back({kind, entry.lunchDiners * kServiceKinds[kind].dinerShare});
        plan.push_back(std::move(branch));
    }
    std::stable_partition(plan.begin(), plan.end(), [](const BranchPlan& b) { return b.logisticOperator; });
    return plan;
}

std::string numbered(std::string name, size_t index, size_t every) {
    return index < every ? name : name + " " + std::to_string(index / every + 1);
}

// `branches` ordinary kitchens, numbered from 0001, then their operators after them, one
// per kBranchesPerOperator consecutive kitchens.
std::vector<BranchPlan> largePlan(DemoSize size, DemoRandom& random) {
    const size_t kitchens = size_t(size.branches);
    const size_t operators = (kitchens + kBranchesPerOperator - 1) / kBranchesPerOperator;
    const size_t places = std::size(kPlaces), sites = std::size(kSiteKinds) * places;
    std::vector<BranchPlan> plan;
    for (size_t k = 0; k < operators; ++k)
        plan.push_back({fourDigitCode(kitchens + k + 1),
                        numbered(std::string("CD Logístico ") + kPlaces[k % places], k, places),
                        true,
                        "",
                        {}});
    for (size_t i = 0; i < kitchens; ++i) {
        BranchPlan branch{fourDigitCode(i + 1),
                          numbered(std::string(kSiteKinds[i % std::size(kSiteKinds)]) + " " +
                                       kPlaces[(i / std::size(kSiteKinds)) % places],
                                   i, sites),
                          false,
                          plan[i / kBranchesPerOperator].code,
                          {}};
        for (int kind = 0; kind < int(std::size(kServiceKinds)); ++kind)
            if (random.between(0, 1) < kServiceChance[kind])
                branch.services.push_back({kind, random.between(kFewestDiners + 20, kMostDiners - 10)});
        plan.push_back(std::move(branch));
    }
    return plan;
}

class Seeder {
public:
    Seeder(db::Connection& c, DateTime today, bool keepWithinRange)
        : c_(c), today_(today.date()), keepWithinRange_(keepWithinRange), rows_(c) {}

    DemoRandom& random() { return random_; }

    // Operators come first in the plan: the other branches refer to them as their supplier.
    void run(const std::vector<BranchPlan>& plan) {
        productCatalogue();
        dishCatalogue();
        // The catalogue's tables were declared after the branches' and are referred to by them.
        rows_.flush();
        for (const BranchPlan& branch : plan) companyBranch(branch);
        rows_.flush();
        c_.execute(
            "UPDATE parameters SET cdtipopratoconsfixo = ?, cdpratoconsfixo = ?, cdtipopratoconsper = ?,"
            " cdpratoconsper = ? WHERE id = 1",
            {kFixedDishType, kFixedDish, kPerCapitaDishType, kPerCapitaDish});
    }

private:
    void productCatalogue() {
        const size_t group = rows_.table("product_group", "cdgrupprod, nmgrupprod", 2);
        const size_t grouping = rows_.table("product_grouping", "cdgrupprod, cdsubgrprod, nmsubgrprod", 3);
        const size_t product = rows_.table(
            "product", "cdproduto, nmproduto, sgunidade, cdgrupprod, cdsubgrprod, qtembalagem, nrdiasvalidade", 7);
        std::map<std::string, char> groupDigit;
        for (const auto& g : demo::productGroups()) {
            rows_.add(group, {g.code, g.name});
            groupDigit[g.code] = g.codeDigit;
        }
        std::map<std::string, std::string> groupOf;
        for (const auto& g : demo::groupings()) {
            rows_.add(grouping, {g.group, g.code, g.name});
            groupOf[g.code] = g.group;
        }
        std::map<std::string, int> itemsInGrouping;
        for (const auto& p : demo::products()) {
            const std::string& groupCode = groupOf.at(p.grouping);
            // Code picture 9.99.999.9999: group, grouping, family, item.
            const std::string code = std::string(1, groupDigit.at(groupCode)) + std::string(p.grouping + 2) + "001" +
                                     fourDigitCode(size_t(++itemsInGrouping[p.grouping]));
            rows_.add(product, {code, p.name, p.unit, groupCode, p.grouping, p.packageSize, p.shelfLife});
            productCode_[p.name] = code;
        }
    }

    void dishCatalogue() {
        const size_t type = rows_.table("dish_type", "cdtipoprato, nmtipoprato", 2);
        const size_t dish = rows_.table("dish", "cdprato, nmprato, cdtipoprato", 3);
        const size_t recipe = rows_.table("recipe", "cdprato, cdproduto, qtpercapita", 3);
        for (const auto& t : kDishTypes) rows_.add(type, {t.code, t.name});
        size_t number = 0;
        for (const auto& d : demo::dishes()) {
            const std::string code = fourDigitCode(++number);
            rows_.add(dish, {code, d.name, dishType(d.course)});
            for (const auto& ingredient : d.recipe)
                rows_.add(recipe, {code, product(ingredient.product), ingredient.perCapita});
            dishesOf_[d.course].push_back(code);
        }
        rows_.add(dish, {kFixedDish, "Consumo Fixo", kFixedDishType});
        rows_.add(dish, {kPerCapitaDish, "Consumo Per Capita", kPerCapitaDishType});
    }

    void companyBranch(const BranchPlan& plan) {
        rows_.add(branch_, {plan.code, plan.name, plan.logisticOperator ? "S" : "N",
                            plan.supplier.empty() ? db::Param(nullptr) : db::Param(plan.supplier), today_});
        for (const ServicePlan& service : plan.services) this->service(plan, service);
    }

    void service(const BranchPlan& branch, const ServicePlan& plan) {
        const ServiceKind& kind = kServiceKinds[plan.kind];
        rows_.add(service_, {branch.code, kind.code, kind.name});
        const size_t shiftCount = 1 + random_.below(3);
        for (size_t s = 0; s < shiftCount; ++s)
            rows_.add(shift_, {branch.code, kind.code, std::to_string(s + 1), kShiftNames[s]});

        const size_t first = random_.below(std::size(kFixedCandidates));
        for (size_t k = 0; k < 3; ++k) {
            const Consumption& item = kFixedCandidates[(first + k) % std::size(kFixedCandidates)];
            rows_.add(fixed_,
                      {branch.code, kind.code, product(item.product), item.quantity * random_.between(0.5, 1.5)});
        }
        for (const Consumption& item : kPerCapita)
            rows_.add(perCapita_, {branch.code, kind.code, product(item.product), item.quantity});

        for (int offset = -kDaysBefore; offset <= kDaysAfter; ++offset)
            day(branch, plan, shiftCount, today_.addDays(offset));
    }

    void day(const BranchPlan& branch, const ServicePlan& plan, size_t shiftCount, DateTime date) {
        const ServiceKind& kind = kServiceKinds[plan.kind];
        const std::vector<std::string> dishes = menuOf(kind);
        const std::vector<int64_t> diners = dinersOfShifts(plan.diners, shiftCount, date);
        for (size_t s = 0; s < shiftCount; ++s) {
            const std::string shift = std::to_string(s + 1);
            for (const std::string& dish : dishes) rows_.add(menu_, {branch.code, kind.code, shift, date, dish});
            rows_.add(diners_, {branch.code, kind.code, shift, date, diners[s]});
        }
    }

    std::vector<int64_t> dinersOfShifts(double headCount, size_t shiftCount, DateTime date) {
        static constexpr double kWeekdayFactor[] = {0.5, 1, 1, 1, 1, 1, 0.7};  // Sunday first
        const double day = headCount * kWeekdayFactor[date.dayOfWeek()];
        std::vector<int64_t> diners;
        if (!keepWithinRange_) {
            for (size_t s = 0; s < shiftCount; ++s)
                diners.push_back(int64_t(day / double(shiftCount) * random_.between(0.9, 1.1) + 1));
            return diners;
        }
        // The service's day within the range, shared out whole among its shifts.
        const auto total = int64_t(std::clamp(day * random_.between(0.9, 1.1), kFewestDiners, kMostDiners));
        for (size_t s = 0; s < shiftCount; ++s)
            diners.push_back(total / int64_t(shiftCount) + (int64_t(s) < total % int64_t(shiftCount) ? 1 : 0));
        return diners;
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
    bool keepWithinRange_;
    DemoRandom random_;
    RowBatches rows_;
    // Declared parents first, so the batches reach the database in an order the foreign keys accept.
    size_t branch_ = rows_.table("branch", "cdfilial, nmfilial, ol, cdfiliopelog, dtproc", 5);
    size_t service_ = rows_.table("service", "cdfilial, cdservfili, nmservico", 3);
    size_t shift_ = rows_.table("shift", "cdfilial, cdservfili, cdturno, nmturno", 4);
    size_t fixed_ = rows_.table("fixed_consumption", "cdfilial, cdservfili, cdproduto, qtdiaria", 4);
    size_t perCapita_ = rows_.table("percapita_consumption", "cdfilial, cdservfili, cdproduto, qtpercapita", 4);
    size_t menu_ = rows_.table("menu", "cdfilial, cdservfili, cdturno, dtcardapio, cdprato", 5);
    size_t diners_ = rows_.table("diners_forecast", "cdfilial, cdservfili, cdturno, dtprevisao, nrcomensais", 5);
    std::map<std::string, std::string> productCode_;
    std::map<Course, std::vector<std::string>> dishesOf_;
};

// Exclusive: two servers started at once on one empty database must seed it once.
bool seedOnce(db::Connection& connection, DateTime today, std::optional<DemoSize> size) {
    return connection.write(
        [&](db::Connection& c) {
            const bool empty = c.integer("SELECT count(*) FROM branch") == 0;
            if (!empty) return false;
            Seeder seeder(c, today, size.has_value());
            seeder.run(size ? largePlan(*size, seeder.random()) : demoPlan());
            return true;
        },
        db::WriteKind::Exclusive);
}

}  // namespace

bool seedDemo(db::Connection& connection, DateTime today) { return seedOnce(connection, today, std::nullopt); }

bool seedDemo(db::Connection& connection, DateTime today, DemoSize size) {
    if (size.branches < 1 || size.branches > kMaxDemoBranches)
        throw std::invalid_argument("A empresa de demonstração deve ter de 1 a " + std::to_string(kMaxDemoBranches) +
                                    " filiais.");
    return seedOnce(connection, today, size);
}

std::string fourDigitCode(size_t n) {
    std::string text = std::to_string(n);
    return std::string(4 - std::min<size_t>(4, text.size()), '0') + text;
}

}  // namespace krv::server
