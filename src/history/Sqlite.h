#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <sqlite3.h>

// A prepared statement, finalized with its owner. Binding indexes start at 1, columns at 0.
class Statement
{
public:
    Statement() = default;
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool Prepare(sqlite3* db, std::string_view sql)
    {
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
        return sqlite3_prepare_v3(db, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &m_stmt,
                                  nullptr) == SQLITE_OK;
    }
    void Reset()
    {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
    void Bind(int index, int64_t value) { sqlite3_bind_int64(m_stmt, index, value); }
    void Bind(int index, double value) { sqlite3_bind_double(m_stmt, index, value); }
    void Bind(int index, std::string_view text)
    {
        sqlite3_bind_text(m_stmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    }
    void BindNull(int index) { sqlite3_bind_null(m_stmt, index); }
    // SQLITE_ROW, SQLITE_DONE or an error.
    int Step() { return sqlite3_step(m_stmt); }

    bool IsNull(int column) const { return sqlite3_column_type(m_stmt, column) == SQLITE_NULL; }
    int64_t Int(int column) const { return sqlite3_column_int64(m_stmt, column); }
    double Real(int column) const { return sqlite3_column_double(m_stmt, column); }
    std::string Text(int column) const
    {
        const auto* text = sqlite3_column_text(m_stmt, column);
        return text ? std::string(reinterpret_cast<const char*>(text), sqlite3_column_bytes(m_stmt, column))
                    : std::string();
    }

private:
    sqlite3_stmt* m_stmt = nullptr;
};
