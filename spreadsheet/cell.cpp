#include "cell.h"

#include "spreadsheet.h"

#include <vector>

namespace {

// Deeper nesting of parentheses and unary minus gives "####": the descent is
// recursive, and this bounds its use of the C++ stack.
constexpr int kMaxNesting = 1000;

const QChar kEndMarker(u'\0');

bool isTokenChar(QChar ch)
{
    return ch.isLetterOrNumber() || ch == u'.';
}

bool isAsciiLetter(QChar ch)
{
    const char16_t u = ch.unicode();
    return (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z');
}

bool isAsciiDigit(QChar ch)
{
    const char16_t u = ch.unicode();
    return u >= u'0' && u <= u'9';
}

// A token that names a cell, A1 to Z999 in either case: one letter, then
// 1 to 999 without leading zero.
bool parseReference(QStringView token, int *row, int *column)
{
    const qsizetype n = token.size();
    if (n < 2 || n > 4 || !isAsciiLetter(token[0]) || !isAsciiDigit(token[1]) || token[1] == u'0')
        return false;
    int number = 0;
    for (qsizetype i = 1; i < n; ++i) {
        if (!isAsciiDigit(token[i]))
            return false;
        number = number * 10 + (token[i].unicode() - u'0');
    }
    *column = token[0].toUpper().unicode() - u'A';
    *row = number - 1;
    return true;
}

bool isNumber(const QVariant &v)
{
    return v.typeId() == QMetaType::Double;
}

// The formula text without "=" and with every blank removed: what the
// grammar reads.
QString expressionOf(const QString &formula)
{
    QString expr = formula.mid(1);
    expr.remove(u' ');
    return expr;
}

// Recursive descent over one expression. References read the value that
// the evaluation order has already settled (see CellEvaluation).
template <typename Resolve>
class Parser final
{
public:
    Parser(const QString &expr, Resolve resolve) : s(expr), resolve(resolve) {}

    // The value of the whole expression: invalid when the grammar leaves
    // characters unconsumed or the nesting is too deep.
    QVariant evaluate()
    {
        QVariant result = sum();
        if (tooDeep || at() != kEndMarker)
            return QVariant();
        return result;
    }

private:
    QChar at() const { return pos < s.size() ? s[pos] : kEndMarker; }

    QVariant sum()
    {
        QVariant result = product();
        while (!tooDeep && at() != kEndMarker) {
            const QChar op = at();
            if (op != u'+' && op != u'-')
                return result;
            ++pos;
            const QVariant term = product();
            if (isNumber(result) && isNumber(term))
                result = op == u'+' ? result.toDouble() + term.toDouble()
                                    : result.toDouble() - term.toDouble();
            else
                result = QVariant();
        }
        return result;
    }

    QVariant product()
    {
        QVariant result = factor();
        while (!tooDeep && at() != kEndMarker) {
            const QChar op = at();
            if (op != u'*' && op != u'/')
                return result;
            ++pos;
            const QVariant term = factor();
            if (isNumber(result) && isNumber(term)) {
                if (op == u'*')
                    result = result.toDouble() * term.toDouble();
                else if (term.toDouble() == 0.0)
                    result = QVariant();
                else
                    result = result.toDouble() / term.toDouble();
            } else {
                result = QVariant();
            }
        }
        return result;
    }

    QVariant factor()
    {
        if (++depth > kMaxNesting) {
            tooDeep = true;
            return QVariant();
        }
        bool negative = false;
        if (at() == u'-') {
            negative = true;
            ++pos;
        }
        QVariant result;
        if (at() == u'(') {
            ++pos;
            result = sum();
            if (at() != u')')
                result = QVariant();
            if (pos < s.size())
                ++pos;
        } else {
            const qsizetype start = pos;
            while (pos < s.size() && isTokenChar(s[pos]))
                ++pos;
            const QStringView token = QStringView(s).mid(start, pos - start);
            int row = 0;
            int column = 0;
            if (parseReference(token, &row, &column)) {
                result = resolve(row, column);
            } else {
                bool ok = false;
                const double value = token.toDouble(&ok);
                if (ok)
                    result = value;
            }
        }
        if (negative)
            result = isNumber(result) ? QVariant(-result.toDouble()) : QVariant();
        --depth;
        return result;
    }

    const QString &s;
    Resolve resolve;
    qsizetype pos = 0;
    int depth = 0;
    bool tooDeep = false;
};

} // namespace

// Evaluates a dirty cell without recursing from cell to cell: the cells it
// references are evaluated first, in depth-first post-order kept on an
// explicit stack, so a chain through the whole grid costs no C++ stack.
// Every formula evaluates all of its references whatever their values, and
// any invalid operand makes the result invalid, so this order gives the
// values of plain recursion: a cell that reaches a cycle through dirty cells
// is invalid, because a cell still waiting on the stack reads as invalid.
class CellEvaluation final
{
public:
    static void run(const Cell *root)
    {
        struct Frame
        {
            const Cell *cell;
            std::vector<const Cell *> refs;
            size_t next = 0;
        };
        std::vector<Frame> stack;
        root->evaluating = true;
        stack.push_back(Frame{root, referencedCells(root)});
        while (!stack.empty()) {
            Frame &top = stack.back();
            if (top.next < top.refs.size()) {
                const Cell *ref = top.refs[top.next++];
                if (ref->isDirty() && !ref->evaluating) {
                    ref->evaluating = true;
                    stack.push_back(Frame{ref, referencedCells(ref)});
                }
                continue;
            }
            const Cell *cell = top.cell;
            stack.pop_back();
            evaluateOne(cell);
            cell->evaluating = false;
        }
    }

private:
    // The cell a reference names, or null for an empty position. An item
    // whose text was erased looks empty and reads as empty: 0, not the
    // empty string that would make every sum over it "####".
    static const Cell *cellAt(const Cell *from, int row, int column)
    {
        const QTableWidget *table = from->tableWidget();
        const auto *cell = table ? static_cast<const Cell *>(table->item(row, column)) : nullptr;
        return cell && !cell->formulaText().isEmpty() ? cell : nullptr;
    }

    // Every token of the formula that names a cell holding an item. A token
    // after an unconsumed part is included too: such a formula is invalid
    // anyway, so evaluating its references early changes no value.
    static std::vector<const Cell *> referencedCells(const Cell *cell)
    {
        std::vector<const Cell *> refs;
        const QString formula = cell->formulaText();
        if (!formula.startsWith(u'='))
            return refs;
        const QString expr = expressionOf(formula);
        qsizetype i = 0;
        while (i < expr.size() && expr[i] != kEndMarker) {
            if (!isTokenChar(expr[i])) {
                ++i;
                continue;
            }
            const qsizetype start = i;
            while (i < expr.size() && isTokenChar(expr[i]))
                ++i;
            int row = 0;
            int column = 0;
            if (parseReference(QStringView(expr).mid(start, i - start), &row, &column)) {
                if (const Cell *ref = cellAt(cell, row, column))
                    refs.push_back(ref);
            }
        }
        return refs;
    }

    static quint64 currentGeneration(const Cell *cell)
    {
        const auto *sheet = qobject_cast<const Spreadsheet *>(cell->tableWidget());
        return sheet ? sheet->recalcGeneration() : 0;
    }

    static void evaluateOne(const Cell *cell)
    {
        cell->dirty = false;
        cell->generation = currentGeneration(cell);
        cell->valueCache = QVariant();
        const QString text = cell->formulaText();
        // The number parser stops at a NUL and would read "7<NUL>abc" as 7,
        // and the grammar takes a NUL for the end of the formula: a text
        // holding one is text, never a number.
        const bool holdsNul = text.contains(kEndMarker);
        if (text.startsWith(u'\'')) {
            cell->valueCache = text.mid(1);
        } else if (text.startsWith(u'=')) {
            if (holdsNul)
                return;
            const QString expr = expressionOf(text);
            auto resolve = [cell](int row, int column) -> QVariant {
                const Cell *ref = cellAt(cell, row, column);
                if (!ref)
                    return 0.0;
                // A dirty reference here is a cell waiting on the stack: a
                // cycle.
                return ref->isDirty() ? QVariant() : ref->valueCache;
            };
            Parser<decltype(resolve)> parser(expr, resolve);
            cell->valueCache = parser.evaluate();
        } else {
            bool ok = false;
            const double value = holdsNul ? 0.0 : text.toDouble(&ok);
            if (ok)
                cell->valueCache = value;
            else
                cell->valueCache = text;
        }
    }
};

Cell::Cell() : QTableWidgetItem(QTableWidgetItem::Type) {}

QTableWidgetItem *Cell::clone() const
{
    auto *copy = new Cell(*this);
    copy->evaluating = false;
    return copy;
}

void Cell::setData(int role, const QVariant &value)
{
    QTableWidgetItem::setData(role, value);
    if (role == Qt::EditRole)
        markDirty();
}

QVariant Cell::data(int role) const
{
    if (role == Qt::DisplayRole) {
        const QVariant value = computedValue();
        if (!value.isValid())
            return QStringLiteral("####");
        // Numbers show with up to 15 significant digits, as the grid always
        // has: 0.1+0.2 shows 0.3.
        if (isNumber(value))
            return QString::number(value.toDouble(), 'g', 15);
        return value.toString();
    }
    if (role == Qt::TextAlignmentRole) {
        const QVariant value = computedValue();
        if (value.typeId() == QMetaType::QString)
            return int(Qt::AlignLeft | Qt::AlignVCenter);
        return int(Qt::AlignRight | Qt::AlignVCenter);
    }
    return QTableWidgetItem::data(role);
}

QString Cell::formulaText() const
{
    return QTableWidgetItem::data(Qt::EditRole).toString();
}

void Cell::setFormulaText(const QString &text)
{
    setData(Qt::EditRole, text);
}

void Cell::markDirty()
{
    dirty = true;
}

bool Cell::isDirty() const
{
    if (dirty)
        return true;
    const auto *sheet = qobject_cast<const Spreadsheet *>(tableWidget());
    return sheet && sheet->recalcGeneration() != generation;
}

QVariant Cell::computedValue() const
{
    if (isDirty())
        CellEvaluation::run(this);
    return valueCache;
}
