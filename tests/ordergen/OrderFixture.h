#pragma once
#include <QPointer>
#include <string>
#include <vector>

#include "core/DataPacket.h"
#include "requisition/ScreenFixture.h"

class QWidget;

namespace krv::ordergen {
class TfrmGerarPedReq;
}

namespace krv::test {

using ordergen::TfrmGerarPedReq;

// One requisition as the scripted server lists it.
struct Req {
    const char* mark;
    double number;
    const char* order;  // "": no order yet
    const char* branch = "0001";
};

// The requisition screen shown with a valid filter, and a server that also answers the order
// screen's methods: getRequisicoes lists `rows`, list numbers are "R1", "R2", … and
// generation succeeds unless a test says otherwise.
class OrderFixture : public ShownScreen {
protected:
    OrderFixture();
    void SetUp() override;

    // Opens an order screen the way the module does, but not modally, shown and active; a
    // screen opened before is dropped. The focus is in the grid, and no call is recorded yet.
    TfrmGerarPedReq* openOrder();
    // Closes the order screen as the user would and lets it be freed.
    void closeOrder();

    // The IDMARCADO of every row of the list, "_" for none.
    std::string marks() const;
    // The arguments of the last call of `method`.
    std::vector<Variant> lastArgs(const std::string& method) const;
    // Clicks the grid cell, or the title of `column` when `row` is -1.
    void clickGrid(int row, int column);
    void setCurrent(int row, int column);
    int currentRow() const;

    std::vector<Req> rows{{"N", 10, ""}, {"S", 11, ""}, {"N", 12, "P0001"}, {"N", 13, ""}};
    // How many messages had been shown when each getRequisicoes arrived.
    std::vector<size_t> messagesAtLoad;
    int ordersListsMade = 0;
    // What the preview says of requisitions already rounded to packages (QTREQARRED).
    int64_t roundedRequisitions = 0;
    DataPacket PreviewPacket() const;
    TfrmGerarPedReq* order = nullptr;
    QPointer<QWidget> orderAlive;
};

}  // namespace krv::test
