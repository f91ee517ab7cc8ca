# In-system programming through the 89isp cable (SCK on pin 1, RST on 17: the control register;
# MOSI on pin 2, MISO on 10, Ack), by direct port access (no driver loaded) and then through ppdev:
# a write and a verify of an AT89S51 (blink.ihx fits it as it stands).
#
# Nothing is plugged into QEMU's port, so no chip answers: every programming enable reads FF, the
# command says so after its four tries, and the cable is left idle (RST, SCK and MOSI low). The
# simulator's port with nothing on it (--no-board) reads 0x7F; QEMU's reads 0xD8, since every
# control write with Init low (the program never raises pin 16) sets its status to Busy, Ack,
# Select and Error. The two differ in bit 7, but the 89isp cable reads MISO on Ack, bit 6, which
# is high on both: both runs read FF at every try and take the same path, so every write must
# agree. (On the dt006, whose MISO is Busy, QEMU's port would answer 00.)
ANSWER_BIT=6

guest() {
  local access command
  for access in direct ppdev; do
    if [ $access = ppdev ]; then
      mark # the driver's probing of the port is no part of the runs
      load_parport
    fi
    for command in write verify; do
      run $access-$command kaldo-cli --port lpt1 --cable 89isp --device 89S51 $command blink.ihx
    done
  done
}

check() {
  local access mask kernel how command run
  for access in direct ppdev; do
    if [ $access = direct ]; then
      mask=ff kernel=0 how="by direct access"
    else
      mask=0f kernel=4 how="through ppdev"
    fi
    for command in write verify; do
      run=$access-$command
      expect_exit $run 1
      expect_text $run "No chip answered through the cable: the programming enable was answered with FF, not 69, 4 times."
      compare $run whole $mask $kernel --cable 89isp --device 89S51 $command blink.ihx
      cable_left_idle $run rst=17,sck=1,mosi=2
    done
    figure "cable write $how: $(wall_vs_board $access-write)"
  done
}
