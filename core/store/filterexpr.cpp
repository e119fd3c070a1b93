#include "core/store/filterexpr.h"
#include "core/store/format.h"
#include "core/store/storeerror.h"

namespace store {

QString sqlCompare(const QString& column, const QString& op, const QVariant& value, schema::FieldType type,
                   SqlParams& params)
{
    const QString c = QLatin1Char('"') + column + QLatin1Char('"');
    const bool null = !value.isValid() || value.isNull();
    if (null) {
        if (op == QLatin1String("="))
            return c + QStringLiteral(" IS NULL");
        if (op == QLatin1String("<>") || op == QLatin1String(">"))
            return c + QStringLiteral(" IS NOT NULL");
        if (op == QLatin1String(">="))
            return QStringLiteral("TRUE");
        if (op == QLatin1String("<="))
            return c + QStringLiteral(" IS NULL");
        return QStringLiteral("FALSE");   // "<" nothing is less than empty
    }
    params.emplace_back(value, type);
    if (op == QLatin1String("<") || op == QLatin1String("<=") || op == QLatin1String("<>"))
        return QStringLiteral("(%1 IS NULL OR %1 %2 ?)").arg(c, op);
    return QStringLiteral("(%1 IS NOT NULL AND %1 %2 ?)").arg(c, op);
}

struct FilterExpr::Node {
    enum Kind { Compare, And, Or, Not, Mask } kind = Compare;
    QString column;
    schema::FieldType type = schema::FieldType::Text;
    QString op;
    QVariant value;
    std::unique_ptr<Node> a, b;
};

namespace {

struct Token {
    enum Kind { End, Ident, String, Number, Op, LParen, RParen, Comma } kind = End;
    QString text;
};

class Parser {
public:
    Parser(const QString& text, const schema::TableDef& def) : s_(text), def_(def) { advance(); }

    std::unique_ptr<FilterExpr::Node> parseAll()
    {
        auto n = parseOr();
        if (tok_.kind != Token::End)
            fail(QStringLiteral("лишний текст \"%1\"").arg(tok_.text));
        return n;
    }

private:
    [[noreturn]] void fail(const QString& why) const
    {
        throw StoreError(QStringLiteral("Ошибка в выражении фильтра \"%1\": %2").arg(s_, why));
    }

    bool keyword(const char* k) const
    {
        return tok_.kind == Token::Ident && tok_.text.compare(QLatin1String(k), Qt::CaseInsensitive) == 0;
    }

    std::unique_ptr<FilterExpr::Node> parseOr()
    {
        auto left = parseAnd();
        while (keyword("or")) {
            advance();
            auto n = std::make_unique<FilterExpr::Node>();
            n->kind = FilterExpr::Node::Or;
            n->a = std::move(left);
            n->b = parseAnd();
            left = std::move(n);
        }
        return left;
    }

    std::unique_ptr<FilterExpr::Node> parseAnd()
    {
        auto left = parseNot();
        while (keyword("and")) {
            advance();
            auto n = std::make_unique<FilterExpr::Node>();
            n->kind = FilterExpr::Node::And;
            n->a = std::move(left);
            n->b = parseNot();
            left = std::move(n);
        }
        return left;
    }

    std::unique_ptr<FilterExpr::Node> parseNot()
    {
        if (keyword("not")) {
            advance();
            auto n = std::make_unique<FilterExpr::Node>();
            n->kind = FilterExpr::Node::Not;
            n->a = parseNot();
            return n;
        }
        if (tok_.kind == Token::LParen) {
            advance();
            auto n = parseOr();
            if (tok_.kind != Token::RParen)
                fail(QStringLiteral("нет закрывающей скобки"));
            advance();
            return n;
        }
        if (keyword("mask"))
            return parseMask();
        return parseCompare();
    }

    // MASK(Field, 'pattern'): the stored text of Field matches the pattern
    // position by position, "*" matching any character (maskMatches).
    std::unique_ptr<FilterExpr::Node> parseMask()
    {
        advance();
        if (tok_.kind != Token::LParen)
            fail(QStringLiteral("ожидается ( после MASK"));
        advance();
        if (tok_.kind != Token::Ident)
            fail(QStringLiteral("ожидается имя поля в MASK"));
        const schema::FieldDef* f = def_.field(tok_.text);
        if (!f || f->calculated || f->type != schema::FieldType::Text)
            fail(QStringLiteral("нет текстового поля %1").arg(tok_.text));
        advance();
        if (tok_.kind != Token::Comma)
            fail(QStringLiteral("ожидается запятая в MASK"));
        advance();
        if (tok_.kind != Token::String)
            fail(QStringLiteral("ожидается маска в кавычках"));
        auto n = std::make_unique<FilterExpr::Node>();
        n->kind = FilterExpr::Node::Mask;
        n->column = f->name;
        n->value = tok_.text;   // blanks kept: a blank matches only a blank
        advance();
        if (tok_.kind != Token::RParen)
            fail(QStringLiteral("нет закрывающей скобки"));
        advance();
        return n;
    }

    std::unique_ptr<FilterExpr::Node> parseCompare()
    {
        Token left = tok_;
        advance();
        if (tok_.kind != Token::Op)
            fail(QStringLiteral("ожидается знак сравнения после \"%1\"").arg(left.text));
        QString op = tok_.text == QLatin1String("!=") ? QStringLiteral("<>") : tok_.text;
        advance();
        Token right = tok_;
        advance();
        if (left.kind != Token::Ident && right.kind == Token::Ident) {
            std::swap(left, right);
            if (op.startsWith(QLatin1Char('<')) && op != QLatin1String("<>"))
                op.replace(0, 1, QLatin1Char('>'));
            else if (op.startsWith(QLatin1Char('>')))
                op.replace(0, 1, QLatin1Char('<'));
        }
        if (left.kind != Token::Ident)
            fail(QStringLiteral("ожидается имя поля"));
        const schema::FieldDef* f = def_.field(left.text);
        if (!f || f->calculated)
            fail(QStringLiteral("нет поля %1").arg(left.text));
        if (right.kind != Token::String && right.kind != Token::Number)
            fail(QStringLiteral("ожидается значение после %1").arg(op));
        auto n = std::make_unique<FilterExpr::Node>();
        n->column = f->name;
        n->type = f->type;
        n->op = op;
        n->value = literal(*f, right.text);
        return n;
    }

    QVariant literal(const schema::FieldDef& f, const QString& text) const
    {
        QString t = text;
        while (t.endsWith(QLatin1Char(' ')))
            t.chop(1);
        if (t.isEmpty())
            return {};
        switch (f.type) {
        case schema::FieldType::Text:
            return t;
        case schema::FieldType::Float:
        case schema::FieldType::AutoInc:
            if (auto v = parseFloat(t))
                return *v;
            fail(QStringLiteral("'%1' is not a valid floating point value").arg(t));
        case schema::FieldType::Date:
            if (auto d = parseDate(t))
                return *d;
            fail(QStringLiteral("'%1' is not a valid date").arg(t));
        }
        return {};
    }

    void advance()
    {
        while (i_ < s_.size() && s_[i_].isSpace())
            ++i_;
        tok_ = Token{};
        if (i_ >= s_.size())
            return;
        const QChar c = s_[i_];
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            const QChar q = c;
            ++i_;
            QString v;
            for (;;) {
                if (i_ >= s_.size())
                    fail(QStringLiteral("нет закрывающей кавычки"));
                if (s_[i_] == q) {
                    if (i_ + 1 < s_.size() && s_[i_ + 1] == q) {
                        v += q;
                        i_ += 2;
                        continue;
                    }
                    ++i_;
                    break;
                }
                v += s_[i_++];
            }
            tok_ = {Token::String, v};
        } else if (c == QLatin1Char('[')) {
            const int end = int(s_.indexOf(QLatin1Char(']'), i_));
            if (end < 0)
                fail(QStringLiteral("нет закрывающей скобки ]"));
            tok_ = {Token::Ident, s_.mid(i_ + 1, end - i_ - 1)};
            i_ = end + 1;
        } else if (c.isLetter() || c == QLatin1Char('_')) {
            const int start = i_;
            while (i_ < s_.size() && (s_[i_].isLetterOrNumber() || s_[i_] == QLatin1Char('_')))
                ++i_;
            tok_ = {Token::Ident, s_.mid(start, i_ - start)};
        } else if (c.isDigit() || c == QLatin1Char('-') || c == QLatin1Char('+')) {
            const int start = i_++;
            while (i_ < s_.size() && (s_[i_].isDigit() || s_[i_] == QLatin1Char('.') || s_[i_] == QLatin1Char(',')))
                ++i_;
            tok_ = {Token::Number, s_.mid(start, i_ - start)};
        } else if (c == QLatin1Char('(')) {
            ++i_;
            tok_ = {Token::LParen, QStringLiteral("(")};
        } else if (c == QLatin1Char(')')) {
            ++i_;
            tok_ = {Token::RParen, QStringLiteral(")")};
        } else if (c == QLatin1Char(',')) {
            ++i_;
            tok_ = {Token::Comma, QStringLiteral(",")};
        } else if (QStringLiteral("=<>!").contains(c)) {
            QString op(c);
            ++i_;
            if (i_ < s_.size() && (s_[i_] == QLatin1Char('=') || (c == QLatin1Char('<') && s_[i_] == QLatin1Char('>'))))
                op += s_[i_++];
            if (op == QLatin1String("!") || op == QLatin1String("=="))
                fail(QStringLiteral("неизвестный знак %1").arg(op));
            tok_ = {Token::Op, op};
        } else {
            fail(QStringLiteral("недопустимый знак \"%1\"").arg(c));
        }
    }

    QString s_;
    const schema::TableDef& def_;
    int i_ = 0;
    Token tok_;
};

QString nodeSql(const FilterExpr::Node& n, SqlParams& params)
{
    switch (n.kind) {
    case FilterExpr::Node::Compare:
        return sqlCompare(n.column, n.op, n.value, n.type, params);
    case FilterExpr::Node::And:
    case FilterExpr::Node::Or: {
        // Parameters are bound in the order of the text.
        const QString a = nodeSql(*n.a, params);
        const QString b = nodeSql(*n.b, params);
        return QStringLiteral("(%1 %2 %3)").arg(a, n.kind == FilterExpr::Node::And ? QStringLiteral("AND") : QStringLiteral("OR"), b);
    }
    case FilterExpr::Node::Not:
        return QStringLiteral("(NOT %1)").arg(nodeSql(*n.a, params));
    case FilterExpr::Node::Mask:
        params.emplace_back(n.value, schema::FieldType::Text);
        return QStringLiteral("saldina_mask(?, \"%1\")").arg(n.column);
    }
    return QStringLiteral("TRUE");
}

} // namespace

FilterExpr::~FilterExpr() = default;

std::unique_ptr<FilterExpr> FilterExpr::parse(const QString& text, const schema::TableDef& def)
{
    std::unique_ptr<FilterExpr> e(new FilterExpr);
    Parser p(text, def);
    e->root_ = p.parseAll();
    return e;
}

QString FilterExpr::sql(SqlParams& params) const { return nodeSql(*root_, params); }

} // namespace store
