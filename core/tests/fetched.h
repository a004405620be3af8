// The value of a data-table column inside an expression, where QFETCH cannot stand
// because it declares a variable.
#pragma once

#include <QTest>

#define FETCHED(type, name) (*static_cast<type *>(QTest::qData(#name, ::qMetaTypeId<type>())))
