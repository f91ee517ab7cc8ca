# QEMU's parallel-port trace ("parallel_ioport_write write [SW] addr 0x00 val 0x44") in the form
# the rig compares: one access a line, W or R with the register offset, and the value ("W0 44").
# The guest's marks (four data-register reads in a row) cut it into pieces; this prints piece
# number `want`, the accesses between mark `want` and the next one (0: before the first mark).
function flush(   i) {
  if (reads >= 4) {
    piece += int(reads / 4)
  } else if (piece == want) {
    for (i = 0; i < reads; i++) print "R0", value[i]
  }
  reads = 0
}
/parallel_ioport_(read|write)/ && $(NF - 3) == "addr" {
  kind = /parallel_ioport_write/ ? "W" : "R"
  offset = substr($(NF - 2), 3) + 0
  v = tolower(substr($NF, 3))
  if (length(v) < 2) v = "0" v
  if (kind == "R" && offset == 0) {
    value[reads++] = v
    next
  }
  flush()
  if (piece == want) print kind offset, v
}
END { flush() }
