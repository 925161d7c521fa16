#!/usr/bin/perl
# A tiny driver of headless Chromium over its DevTools pipe
# (--remote-debugging-pipe: commands on descriptor 3, answers on 4, each a
# JSON text ended by a zero byte), for the board's script test. It reads
# steps from stdin, one a line:
#
#   open URL            load the page in a fresh tab
#   run CMD...          run a shell command; its exit code must be 0
#   expect MS JS        evaluate JS in the page until it yields true, at most
#                       MS milliseconds (polled every 50 ms)
#   show JS             print what JS yields
#   shot FILE W H       save a PNG of the page's first W x H pixels
#
# With CDP_ACCEPT_LANGUAGE set, pages are asked for in that language (the
# Accept-Language header), whatever the machine's locale.
#
# Exit 0 when every step passed; 1 with the failing step on stderr.
#   cdp_drive.pl CHROMIUM PROFILE-DIR < steps
use strict;
use warnings;
use IO::Handle;
use IO::Select;
use Encode ();
use JSON::PP;
use POSIX ();
use Time::HiRes qw(time sleep);

my ($chromium, $profile) = @ARGV;
binmode STDIN, ':encoding(UTF-8)';
binmode STDOUT, ':encoding(UTF-8)';
binmode STDERR, ':encoding(UTF-8)';
pipe(my $to_read, my $to_write) or die "pipe: $!";     # we write, chromium reads (fd 3)
pipe(my $from_read, my $from_write) or die "pipe: $!"; # chromium writes (fd 4), we read
my $pid = fork();
die "fork: $!" unless defined $pid;
if ($pid == 0) {
    # Through fresh descriptors first: dup2 onto the same number would keep
    # the close-on-exec flag.
    my ($r, $w) = (POSIX::dup(fileno($to_read)), POSIX::dup(fileno($from_write)));
    POSIX::dup2($r, 3);
    POSIX::dup2($w, 4);
    POSIX::close($r);
    POSIX::close($w);
    open(STDOUT, '>', '/dev/null');
    open(STDERR, '>', "$profile.log");
    exec $chromium, '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic',
        '--no-first-run', '--disable-background-networking', '--disable-component-update',
        '--disable-sync', "--user-data-dir=$profile", '--remote-debugging-pipe', 'about:blank'
        or POSIX::_exit(127);
}
close $to_read;
close $from_write;
$to_write->autoflush(1);

my $json = JSON::PP->new->utf8->canonical;
my $next_id = 0;
my $buffer = '';
my $session;
my $sel = IO::Select->new($from_read);

sub finish {
    my ($code, $why) = @_;
    print STDERR "cdp_drive: $why\n" if $why;
    kill 'KILL', $pid;
    waitpid($pid, 0);
    exit $code;
}

# Sends a command and waits (at most 15 s) for its answer.
sub call {
    my ($method, $params, $no_session) = @_;
    my $id = ++$next_id;
    my %msg = (id => $id, method => $method, params => $params // {});
    $msg{sessionId} = $session if $session && !$no_session;
    print $to_write $json->encode(\%msg) . "\0";
    my $deadline = time + 15;
    while (time < $deadline) {
        while ((my $end = index($buffer, "\0")) >= 0) {
            my $text = substr($buffer, 0, $end);
            $buffer = substr($buffer, $end + 1);
            my $m = eval { $json->decode($text) } or next;
            next unless defined $m->{id} && $m->{id} == $id;
            finish(1, "$method: " . $json->encode($m->{error})) if $m->{error};
            return $m->{result};
        }
        if ($sel->can_read($deadline - time)) {
            my $n = sysread($from_read, my $chunk, 65536);
            finish(1, "chromium ended (see $profile.log)") unless $n;
            $buffer .= $chunk;
        }
    }
    finish(1, "$method: no answer in 15 s");
}

sub evaluate {
    my ($js) = @_;
    my $r = call('Runtime.evaluate', { expression => $js, returnByValue => JSON::PP::true });
    return $r->{result}{value};
}

while (my $line = <STDIN>) {
    chomp $line;
    next if $line =~ /^\s*(#|$)/;
    if ($line =~ /^open (.+)$/) {
        my $target = call('Target.createTarget', { url => 'about:blank' }, 1);
        my $att = call('Target.attachToTarget',
                       { targetId => $target->{targetId}, flatten => JSON::PP::true }, 1);
        $session = $att->{sessionId};
        call('Page.enable');
        if ($ENV{CDP_ACCEPT_LANGUAGE}) {
            my $version = call('Browser.getVersion', {}, 1);
            call('Network.setUserAgentOverride', { userAgent => $version->{userAgent},
                                                   acceptLanguage => $ENV{CDP_ACCEPT_LANGUAGE} });
        }
        call('Page.navigate', { url => $1 });
    } elsif ($line =~ /^run (.+)$/) {
        system('bash', '-c', Encode::encode('UTF-8', $1)) == 0 or finish(1, "step failed: $line");
    } elsif ($line =~ /^expect (\d+) (.+)$/) {
        my ($ms, $js) = ($1, $2);
        my $start = time;
        my $value;
        while (1) {
            $value = evaluate($js);
            last if defined $value && !ref($value) && $value eq '1' || (ref($value) && $value);
            finish(1, "not true within $ms ms: $js (got " . ($value // 'undefined') . ")")
                if (time - $start) * 1000 > $ms;
            sleep 0.05;
        }
        printf "ok %d ms: %s\n", (time - $start) * 1000, $js;
    } elsif ($line =~ /^shot (\S+) (\d+) (\d+)$/) {
        my ($file, $w, $h) = ($1, $2, $3);
        call('Emulation.setDeviceMetricsOverride',
             { width => $w + 0, height => $h + 0, deviceScaleFactor => 1, mobile => JSON::PP::false });
        sleep 0.3;
        my $shot = call('Page.captureScreenshot', { format => 'png' });
        require MIME::Base64;
        open(my $out, '>:raw', $file) or finish(1, "cannot write $file: $!");
        print $out MIME::Base64::decode_base64($shot->{data});
        close $out;
        print "shot $file\n";
    } elsif ($line =~ /^show (.+)$/) {
        my $v = evaluate($1);
        print((defined $v ? (ref $v ? $json->encode($v) : $v) : 'undefined'), "\n");
    } else {
        finish(1, "unknown step: $line");
    }
}
finish(0);
