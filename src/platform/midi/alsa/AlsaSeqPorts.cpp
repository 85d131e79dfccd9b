#include "platform/midi/alsa/AlsaSeqPorts.h"

namespace rotavox::alsaseq {

namespace {

snd_seq_addr_t seqAddr(SeqAddress a) {
  snd_seq_addr_t addr;
  addr.client = static_cast<unsigned char>(a.client);
  addr.port = static_cast<unsigned char>(a.port);
  return addr;
}

}  // namespace

int subscribe(snd_seq_t* seq, SeqAddress sender, SeqAddress dest, bool remove) {
  snd_seq_port_subscribe_t* subs = nullptr;
  snd_seq_port_subscribe_alloca(&subs);
  const snd_seq_addr_t from = seqAddr(sender);
  const snd_seq_addr_t to = seqAddr(dest);
  snd_seq_port_subscribe_set_sender(subs, &from);
  snd_seq_port_subscribe_set_dest(subs, &to);
  snd_seq_port_subscribe_set_queue(subs, 0);
  snd_seq_port_subscribe_set_exclusive(subs, 0);
  snd_seq_port_subscribe_set_time_update(subs, 0);
  snd_seq_port_subscribe_set_time_real(subs, 0);
  return remove ? snd_seq_unsubscribe_port(seq, subs) : snd_seq_subscribe_port(seq, subs);
}

std::vector<PortRecord> queryPorts(snd_seq_t* seq) {
  std::vector<PortRecord> all;
  snd_seq_client_info_t* client = nullptr;
  snd_seq_port_info_t* port = nullptr;
  snd_seq_client_info_alloca(&client);
  snd_seq_port_info_alloca(&port);
  snd_seq_client_info_set_client(client, -1);
  while (snd_seq_query_next_client(seq, client) >= 0) {
    const int number = snd_seq_client_info_get_client(client);
    snd_seq_port_info_set_client(port, number);
    snd_seq_port_info_set_port(port, -1);
    while (snd_seq_query_next_port(seq, port) >= 0) {
      all.push_back(PortRecord{number, snd_seq_port_info_get_port(port), snd_seq_client_info_get_name(client),
                               snd_seq_port_info_get_name(port), snd_seq_port_info_get_capability(port),
                               snd_seq_port_info_get_type(port), snd_seq_client_info_get_card(client)});
    }
  }
  return all;
}

std::optional<PortRecord> currentPort(snd_seq_t* seq, SeqAddress address) {
  snd_seq_client_info_t* client = nullptr;
  snd_seq_port_info_t* port = nullptr;
  snd_seq_client_info_alloca(&client);
  snd_seq_port_info_alloca(&port);
  if (snd_seq_get_any_client_info(seq, address.client, client) < 0) return std::nullopt;
  if (snd_seq_get_any_port_info(seq, address.client, address.port, port) < 0) return std::nullopt;
  return PortRecord{address.client,
                    address.port,
                    snd_seq_client_info_get_name(client),
                    snd_seq_port_info_get_name(port),
                    snd_seq_port_info_get_capability(port),
                    snd_seq_port_info_get_type(port),
                    snd_seq_client_info_get_card(client)};
}

bool stillThere(snd_seq_t* seq, const PortRecord& listed) {
  const auto now = currentPort(seq, listed.address());
  return now && displayName(*now) == displayName(listed);
}

}  // namespace rotavox::alsaseq
