#include "FilterExpression.h"

#include <cctype>
#include <optional>
#include <stdexcept>

#include "FieldValue.h"
#include "Text.h"

namespace krv {

// ---- the compiled tree ---------------------------------------------------------------

struct FilterExpression::Node {
    virtual ~Node() = default;
    virtual bool eval(const Row& row) const = 0;
};

namespace {

using NodePtr = std::unique_ptr<const FilterExpression::Node>;

enum class Kind { Text, Number, Date, Flag };
enum class Op { Eq, Ne, Lt, Gt, Le, Ge };

// One side of a comparison: a field of the row or a constant already in its kind's form.
struct Operand {
    int field = -1;
    Variant constant;
    const Variant& value(const Row& row) const { return field >= 0 ? row[size_t(field)] : constant; }
};

template <typename T>
bool compareWith(Op op, const T& a, const T& b) {
    switch (op) {
        case Op::Eq:
            return a == b;
        case Op::Ne:
            return !(a == b);
        case Op::Lt:
            return a < b;
        case Op::Gt:
            return b < a;
        case Op::Le:
            return !(b < a);
        case Op::Ge:
            return !(a < b);
    }
    return false;
}

struct Comparison : FilterExpression::Node {
    Operand lhs, rhs;
    Kind kind;
    Op op;
    Comparison(Operand l, Operand r, Kind k, Op o) : lhs(std::move(l)), rhs(std::move(r)), kind(k), op(o) {}

    bool eval(const Row& row) const override {
        const Variant& a = lhs.value(row);
        const Variant& b = rhs.value(row);
        if (kind == Kind::Text) {
            static const std::string blank;
            return compareWith<std::string>(op, a.isString() ? a.str() : blank, b.isString() ? b.str() : blank);
        }
        if (a.isNull() || b.isNull()) return false;
        switch (kind) {
            case Kind::Number:
                if (a.type() == Variant::Type::Int && b.type() == Variant::Type::Int)
                    return compareWith(op, a.asInt(), b.asInt());
                return compareWith(op, a.asDouble(), b.asDouble());
            case Kind::Date:
                return compareWith(op, a.asDateTime(), b.asDateTime());
            default:
                return compareWith(op, a.asBool(), b.asBool());
        }
    }
};

struct BlankTest : FilterExpression::Node {
    int field;
    bool negated;
    BlankTest(int f, bool n) : field(f), negated(n) {}
    bool eval(const Row& row) const override { return isBlank(row[size_t(field)]) != negated; }
};

struct Negation : FilterExpression::Node {
    NodePtr inner;
    explicit Negation(NodePtr i) : inner(std::move(i)) {}
    bool eval(const Row& row) const override { return !inner->eval(row); }
};

struct Junction : FilterExpression::Node {
    NodePtr left, right;
    bool isAnd;
    Junction(NodePtr l, NodePtr r, bool a) : left(std::move(l)), right(std::move(r)), isAnd(a) {}
    bool eval(const Row& row) const override {
        return isAnd ? left->eval(row) && right->eval(row) : left->eval(row) || right->eval(row);
    }
};

// ---- tokens --------------------------------------------------------------------------

enum class Tok { End, Name, Text, Number, Symbol };

struct Token {
    Tok type = Tok::End;
    std::string text;  // the name, the unquoted text, the number or the symbol
    size_t pos = 0;    // 1-based column, for messages
};

[[noreturn]] void invalid(const std::string& what, size_t pos) {
    throw std::invalid_argument("Filtro inválido: " + what + " (posição " + std::to_string(pos) + ")");
}

// Filters are written by programs, not typed by people; a bound keeps a runaway one from
// building a tree too deep to evaluate or free.
constexpr size_t kMaxTokens = 4096;

std::vector<Token> tokenize(const std::string& s) {
    std::vector<Token> out;
    size_t i = 0;
    auto isNameChar = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
    while (true) {
        while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
        Token t;
        t.pos = i + 1;
        if (i >= s.size()) {
            out.push_back(t);
            return out;
        }
        const char c = s[i];
        if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
            t.type = Tok::Name;
            while (i < s.size() && isNameChar(s[i])) t.text += s[i++];
        } else if (std::isdigit(static_cast<unsigned char>(c)) ||
                   (c == '.' && i + 1 < s.size() && std::isdigit(static_cast<unsigned char>(s[i + 1])))) {
            t.type = Tok::Number;
            while (i < s.size() && (std::isdigit(static_cast<unsigned char>(s[i])) || s[i] == '.')) t.text += s[i++];
        } else if (c == '\'') {
            t.type = Tok::Text;
            for (++i;; ++i) {
                if (i >= s.size()) invalid("texto sem o apóstrofo final", t.pos);
                if (s[i] == '\'') {
                    if (i + 1 < s.size() && s[i + 1] == '\'')
                        ++i;
                    else
                        break;
                }
                t.text += s[i];
            }
            ++i;
        } else {
            t.type = Tok::Symbol;
            const std::string two = s.substr(i, 2);
            if (two == "<>" || two == "<=" || two == ">=")
                t.text = two;
            else if (std::string("=<>()-").find(c) != std::string::npos)
                t.text = std::string(1, c);
            else
                invalid(std::string("caractere inesperado '") + c + "'", t.pos);
            i += t.text.size();
        }
        out.push_back(std::move(t));
        if (out.size() > kMaxTokens) invalid("expressão longa demais", out.back().pos);
    }
}

// ---- parser --------------------------------------------------------------------------

struct Term {
    Operand operand;
    std::optional<Kind> fieldKind;  // set for a field
    Tok literal = Tok::End;         // Text or Number for a constant
    std::string name;               // field name or literal, for messages
    size_t pos = 0;
};

Kind kindOf(FieldType t) {
    switch (t) {
        case FieldType::Integer:
        case FieldType::Float:
            return Kind::Number;
        case FieldType::DateTime:
            return Kind::Date;
        case FieldType::Bool:
            return Kind::Flag;
        default:
            return Kind::Text;
    }
}

FieldType fieldTypeOf(Kind k) {
    switch (k) {
        case Kind::Number:
            return FieldType::Float;
        case Kind::Date:
            return FieldType::DateTime;
        case Kind::Flag:
            return FieldType::Bool;
        default:
            return FieldType::String;
    }
}

class Parser {
public:
    Parser(const std::string& text, const FilterExpression::FieldResolver& resolve)
        : tokens_(tokenize(text)), resolve_(resolve) {}

    NodePtr parse() {
        NodePtr root = disjunction();
        if (peek().type != Tok::End) invalid("'" + peek().text + "' inesperado", peek().pos);
        return root;
    }

private:
    // Bounds the recursion for hostile text such as thousands of '('.
    static constexpr int kMaxNesting = 200;

    const Token& peek() const { return tokens_[next_]; }
    Token take() { return tokens_[next_ < tokens_.size() - 1 ? next_++ : next_]; }
    bool isKeyword(const char* word) const {
        return peek().type == Tok::Name && equalsIgnoringAsciiCase(peek().text, word);
    }
    bool isSymbol(const char* sym) const { return peek().type == Tok::Symbol && peek().text == sym; }

    void expectKeyword(const char* word) {
        if (!isKeyword(word)) invalid(std::string("esperado ") + word, peek().pos);
        take();
    }

    NodePtr disjunction() { return chain("OR", &Parser::conjunction, false); }
    NodePtr conjunction() { return chain("AND", &Parser::negation, true); }

    // operand (keyword operand)*, grouped from the left.
    NodePtr chain(const char* keyword, NodePtr (Parser::*operand)(), bool isAnd) {
        NodePtr left = (this->*operand)();
        while (isKeyword(keyword)) {
            take();
            left = std::make_unique<Junction>(std::move(left), (this->*operand)(), isAnd);
        }
        return left;
    }

    NodePtr negation() {
        if (++depth_ > kMaxNesting) invalid("expressão aninhada demais", peek().pos);
        NodePtr n;
        if (isKeyword("NOT")) {
            take();
            n = std::make_unique<Negation>(negation());
        } else if (isSymbol("(")) {
            take();
            n = disjunction();
            if (!isSymbol(")")) invalid("esperado ')'", peek().pos);
            take();
        } else {
            n = predicate();
        }
        --depth_;
        return n;
    }

    NodePtr predicate() {
        Term lhs = term();
        if (isKeyword("IS")) {
            take();
            const bool negated = isKeyword("NOT");
            if (negated) take();
            expectKeyword("NULL");
            if (!lhs.fieldKind) invalid("IS NULL precisa de um campo", lhs.pos);
            return std::make_unique<BlankTest>(lhs.operand.field, negated);
        }
        const Op op = comparisonOp();
        Term rhs = term();
        const Kind kind = commonKind(lhs, rhs);
        convertLiteral(lhs, kind);
        convertLiteral(rhs, kind);
        return std::make_unique<Comparison>(std::move(lhs.operand), std::move(rhs.operand), kind, op);
    }

    Op comparisonOp() {
        static const std::pair<const char*, Op> ops[] = {{"=", Op::Eq}, {"<>", Op::Ne}, {"<", Op::Lt},
                                                         {">", Op::Gt}, {"<=", Op::Le}, {">=", Op::Ge}};
        for (const auto& [sym, op] : ops)
            if (isSymbol(sym)) {
                take();
                return op;
            }
        invalid("esperado um operador de comparação ou IS", peek().pos);
    }

    Term term() {
        Term t;
        t.pos = peek().pos;
        const bool negative = isSymbol("-");
        if (negative) take();
        Token tok = take();
        t.name = tok.text;
        if (tok.type == Tok::Number) {
            double d = 0;
            if (!parseNumber(tok.text, d)) invalid("número malformado '" + tok.text + "'", tok.pos);
            t.literal = Tok::Number;
            t.operand.constant = negative ? -d : d;
            t.name = (negative ? "-" : "") + tok.text;
        } else if (negative) {
            invalid("esperado um número depois de '-'", tok.pos);
        } else if (tok.type == Tok::Text) {
            t.literal = Tok::Text;
            t.operand.constant = tok.text;
        } else if (tok.type == Tok::Name && !isReserved(tok.text)) {
            FieldType type;
            if (!resolve_(tok.text, t.operand.field, type)) invalid("campo desconhecido " + tok.text, tok.pos);
            t.fieldKind = kindOf(type);
        } else {
            invalid(tok.type == Tok::End ? "a expressão termina cedo demais" : "'" + tok.text + "' inesperado",
                    tok.pos);
        }
        return t;
    }

    static bool isReserved(const std::string& word) {
        for (const char* k : {"AND", "OR", "NOT", "IS", "NULL"})
            if (equalsIgnoringAsciiCase(word, k)) return true;
        return false;
    }

    static Kind commonKind(const Term& a, const Term& b) {
        if (a.fieldKind && b.fieldKind) {
            if (*a.fieldKind != *b.fieldKind)
                invalid("campos " + a.name + " e " + b.name + " não são comparáveis", a.pos);
            return *a.fieldKind;
        }
        if (a.fieldKind) return *a.fieldKind;
        if (b.fieldKind) return *b.fieldKind;
        if (a.literal != b.literal) invalid("um texto e um número não são comparáveis", a.pos);
        return a.literal == Tok::Number ? Kind::Number : Kind::Text;
    }

    // A text field compares with text only: '1' and 1 are not silently the same code.
    static void convertLiteral(Term& t, Kind kind) {
        if (t.fieldKind) return;
        if (kind == Kind::Text && t.literal == Tok::Number)
            invalid("use " + t.name + " entre apóstrofos para um campo texto", t.pos);
        if (kind == Kind::Date && t.literal == Tok::Number) invalid("use a data entre apóstrofos", t.pos);
        try {
            t.operand.constant = toFieldForm(std::move(t.operand.constant), fieldTypeOf(kind), "do filtro");
        } catch (const std::invalid_argument& e) {
            invalid(e.what(), t.pos);
        }
    }

    std::vector<Token> tokens_;
    size_t next_ = 0;
    int depth_ = 0;
    const FilterExpression::FieldResolver& resolve_;
};

}  // namespace

FilterExpression::FilterExpression(std::unique_ptr<const Node> root) : root_(std::move(root)) {}
FilterExpression::~FilterExpression() = default;

std::shared_ptr<const FilterExpression> FilterExpression::compile(const std::string& text,
                                                                  const FieldResolver& resolve) {
    return std::make_shared<const FilterExpression>(Parser(text, resolve).parse());
}

bool FilterExpression::matches(const Row& row) const { return root_->eval(row); }

}  // namespace krv
