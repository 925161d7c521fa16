#!/usr/bin/perl
# Holds a listening socket on 127.0.0.1 the way systemd's socket unit does,
# and runs the exam server on it (LISTEN_FDS=1, the socket as descriptor 3).
# When the server is killed with SIGKILL it is started again on the same
# socket, so clients that connect meanwhile wait in its queue instead of
# being refused. SIGTERM is passed on to the server; then the holder ends
# with the server's exit code. For the script tests only.
#
#   hold_socket.pl PORTFILE PIDFILE CMD...
use strict;
use warnings;
use Socket;
use POSIX ();

$^F = 1000; # the socket must survive exec
my ($portfile, $pidfile, @cmd) = @ARGV;
socket(my $s, PF_INET, SOCK_STREAM, 0) or die "socket: $!";
bind($s, sockaddr_in(0, inet_aton("127.0.0.1"))) or die "bind: $!";
listen($s, 128) or die "listen: $!";
my ($port) = sockaddr_in(getsockname($s));

my $child = 0;
my $stop = 0;
$SIG{TERM} = sub { $stop = 1; kill 'TERM', $child if $child; };

sub put {
    my ($file, $text) = @_;
    open(my $f, '>', "$file.tmp") or die "$file: $!";
    print $f "$text\n";
    close $f;
    rename("$file.tmp", $file) or die "$file: $!";
}

for (my $starts = 0; $starts < 20; ++$starts) {
    $child = fork();
    die "fork: $!" unless defined $child;
    if ($child == 0) {
        POSIX::dup2(fileno($s), 3) if fileno($s) != 3;
        $ENV{LISTEN_PID} = $$;
        $ENV{LISTEN_FDS} = 1;
        exec @cmd or POSIX::_exit(127);
    }
    put($pidfile, $child);
    put($portfile, $port) if $starts == 0;
    my $got;
    do { $got = waitpid($child, 0); } while ($got == -1 && $!{EINTR});
    my $status = $?;
    if ($stop || ($status & 127) != 9) {
        exit(($status & 127) ? 128 + ($status & 127) : $status >> 8);
    }
}
exit 1;
