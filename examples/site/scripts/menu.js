// menu.js - drop-down navigation for the header bar
var menuTimer = null;

function initMenu() {
    var links = document.getElementsByTagName("a");
    for (var i = 0; i < links.length; i++) {
        if (links[i].href == window.location.href) {
            links[i].className = "current";
        }
    }
}

function showMenu(id) {
    if (menuTimer) { clearTimeout(menuTimer); menuTimer = null; }
    var m = document.getElementById(id);
    if (m) m.style.visibility = "visible";
}

function hideMenu(id) {
    menuTimer = setTimeout(function () {
        var m = document.getElementById(id);
        if (m) m.style.visibility = "hidden";
    }, 300);
}
