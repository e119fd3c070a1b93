#pragma once
#include <QString>
#include <exception>

namespace store {

// Every failure of the store is thrown as a StoreError. Rule violations carry
// exactly one of the four condition texts of the schema (schema::KeyViolation,
// ...); any other failure a text of its own.
class StoreError : public std::exception {
public:
    explicit StoreError(QString text) : text_(std::move(text)), utf8_(text_.toUtf8()) {}
    const QString& text() const noexcept { return text_; }
    const char* what() const noexcept override { return utf8_.constData(); }

private:
    QString text_;
    QByteArray utf8_;
};

// The text a window shows for a failure: the store's own text, or what
// any other exception says.
inline QString errorText(const std::exception& e)
{
    const auto* se = dynamic_cast<const StoreError*>(&e);
    return se ? se->text() : QString::fromUtf8(e.what());
}

} // namespace store
