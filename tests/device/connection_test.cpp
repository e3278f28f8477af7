#include "device/connection.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "app/config_files.h"
#include "app/remembered_port.h"
#include "app/workspace.h"
#include "device/port_settings.h"
#include "sim/virtual_instrument.h"
#include "tests/support/scripted_seams.h"
#include "tests/support/temp_folder.h"

namespace orb {
namespace {

// COM1..COM15 of a test: virtual instruments with the given serial numbers
// on some ports, paths that do not exist on the others.
struct Bench {
  testing::TempFolder data;
  std::map<int, std::unique_ptr<sim::VirtualInstrument>> instruments;
  PortMap map{data.path()};
  std::unique_ptr<SerialPorts> ports;
  ConnectionState state;
  CountingEventLoop loop;
  ScriptedOperator op;
  Workspace ws{data.path(), op};
  std::unique_ptr<DeviceLink> link;
  std::vector<std::string> autochannel, news;
  bool showedChooser = false;
  std::unique_ptr<Connection> connection;

  Bench(int rememberedPort, std::map<int, int> serialOnPort) {
    for (int n = 1; n <= 16; ++n) map.assign(n, (data / "ttyNone").string());
    for (auto [port, serial] : serialOnPort) {
      sim::InstrumentOptions o;
      o.serial = serial;
      instruments[port] = std::make_unique<sim::VirtualInstrument>(o);
      map.assign(port, instruments[port]->start());
    }
    ports = std::make_unique<SerialPorts>(map);
    link = std::make_unique<DeviceLink>(*ports, state, loop, op);
    ws.config.Serial_COM = static_cast<std::int16_t>(rememberedPort);
    ConnectionView view;
    view.autochannel = [this](const std::string& s) { autochannel.push_back(s); };
    view.news = [this](const std::string& s) { news.push_back(s); };
    view.showChooser = [this] { showedChooser = true; };
    connection = std::make_unique<Connection>(*link, RememberedPortOf(ws), view);
  }
  long opened(int port) const {
    return std::count(autochannel.begin(), autochannel.end(), "Opening Port [" + std::to_string(port) + "]");
  }
  int savedPort() {  // -1 when config.dat was never written
    ScriptedOperator quiet;
    AppConfig c;
    return LoadConfig(data.path(), c, quiet) ? c.Serial_COM : -1;
  }
};

TEST(Connection, RememberedPortThenSearchThenReconnect) {
  Bench b(3, {{3, 12}, {9, 150}});
  EXPECT_TRUE(b.connection->Connect());
  EXPECT_EQ(b.opened(3), 2);  // rejected as remembered port (15..200), taken by the search (10..200)
  EXPECT_EQ(b.autochannel.front(), "STARTING.....");
  EXPECT_EQ(std::count(b.autochannel.begin(), b.autochannel.end(), "Connected on COM[ 3 ]"), 1);
  EXPECT_EQ(b.autochannel.back(), "");
  EXPECT_EQ(b.news, std::vector<std::string>{"Status = Connected on COM[ 3 ]"});
  EXPECT_EQ(b.state.currentPort * 1000 + b.state.serial, 3012);
  EXPECT_EQ(b.ws.config.Serial_COM, 3);
  EXPECT_TRUE(b.state.connected && !b.state.offline && b.state.factory.calibrated);
  EXPECT_TRUE(b.ports->isOpen(3));
  EXPECT_TRUE(b.op.shown().empty());

  b.connection->Disconnect();
  EXPECT_FALSE(b.ports->isOpen(3) || b.state.connected);
  b.autochannel.clear();
  EXPECT_TRUE(b.connection->Connect());  // searches again
  EXPECT_EQ(b.opened(3), 2);
  EXPECT_TRUE(b.connection->Connect());  // while connected: starts over instead of finding its port busy
  EXPECT_TRUE(b.ports->isOpen(3));

  b.connection->Disconnect();
  b.connection->ChoosePort(9);
  EXPECT_EQ(b.savedPort(), 9);
  b.autochannel.clear();
  EXPECT_TRUE(b.connection->Connect());  // remembered port answers 150: no search
  EXPECT_EQ(b.opened(9), 1);
  EXPECT_EQ(b.opened(1), 0);
  EXPECT_TRUE(b.ports->isOpen(9) && !b.ports->isOpen(3));
}

TEST(Connection, TypedPortWithoutInstrumentIsSavedButNotConnected) {
  Bench b(4, {{3, 5}});  // COM3 opens, but serial 5 is none of ours
  b.op.type("3");
  EXPECT_FALSE(b.connection->Connect());
  EXPECT_EQ(b.op.prompts(),
            std::vector<std::string>{"COM(15) PORT ERROR. Type New Port number or <Enter> to go Offline"});
  EXPECT_EQ(b.savedPort(), 3);
  EXPECT_EQ(b.state.currentPort * 1000 + b.state.serial, 3000);
  EXPECT_FALSE(b.state.connected || b.state.offline || b.ports->isOpen(3));
  EXPECT_EQ(b.op.texts(), std::vector<std::string>{"PORT NOT FOUND"});
  EXPECT_TRUE(b.showedChooser);
}

// The remembered port held by another program is told as such before the
// search goes on; the instrument is not taken from its holder.
TEST(Connection, ABusyRememberedPortIsSaidToBeInUse) {
  Bench b(3, {{3, 150}});
  SerialPorts holder(b.map);
  ASSERT_EQ(holder.CommOpen(3, "COM3", kInstrumentPortSettings), CommResult::Ok);
  b.op.type("");  // offline after the search
  EXPECT_FALSE(b.connection->Connect());
  EXPECT_EQ(b.op.texts(), (std::vector<std::string>{"COM3: Port in use.", "PORT NOT FOUND"}));
  EXPECT_TRUE(holder.isOpen(3));
  EXPECT_FALSE(b.ports->isOpen(3));
}

TEST(Connection, AnswersThatGoOffline) {
  for (std::optional<std::string> typed : {std::optional<std::string>("16"), {"0"}, {"three"}, {""}, {}, {"7"}}) {
    Bench b(4, {});
    b.op.type(typed);
    EXPECT_FALSE(b.connection->Connect());
    EXPECT_TRUE(b.state.offline && !b.state.connected && b.showedChooser) << typed.value_or("(cancel)");
    std::vector<std::string> expected{"PORT NOT FOUND"};
    if (typed == "7") expected.insert(expected.begin(), "Invalid Port Number. Offline Mode");
    EXPECT_EQ(b.op.texts(), expected);
    EXPECT_EQ(b.savedPort(), -1);
  }
  auto checks = PortMenuChecks(5);
  EXPECT_EQ(std::count(checks.begin(), checks.end(), true), 1);
  EXPECT_TRUE(checks[4]);
  EXPECT_EQ(TypedPortNumber(" 12 "), 12);
  EXPECT_FALSE(TypedPortNumber("1.5"));
}

}  // namespace
}  // namespace orb
