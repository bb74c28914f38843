// Behaviour of the local server's pages. Everything works without it; it only smooths things.
(function () {
  "use strict";

  // A click on "#1|..." or "#2|..." leaves that fragment in the page address. The player reloads
  // the page after adding a favorite, and a reload of such an address would hand the command to
  // the player once more. Drop the fragment as soon as the click has done its work.
  function forgetCommand() {
    if (/^#[^|]*\|/.test(window.location.hash) && window.history && window.history.replaceState) {
      window.history.replaceState(null, "", window.location.pathname + window.location.search);
    }
  }
  window.addEventListener("hashchange", forgetCommand);
  forgetCommand();

  document.addEventListener("DOMContentLoaded", function () {
    // Choosing a group shows it at once.
    var selects = document.querySelectorAll("select.autosubmit");
    for (var i = 0; i < selects.length; i++) {
      selects[i].addEventListener("change", function (event) {
        var form = event.target.form;
        if (form) form.submit();
      });
    }
    // A programme of the guide shows its details; the text is copied as nodes, never as markup.
    var details = document.getElementById("details");
    if (details) {
      document.addEventListener("click", function (event) {
        var programme = event.target.closest ? event.target.closest(".prog") : null;
        if (!programme) {
          if (!details.contains(event.target)) details.hidden = true;
          return;
        }
        var info = programme.querySelector(".info");
        while (details.firstChild) details.removeChild(details.firstChild);
        if (info) details.appendChild(info.cloneNode(true));
        details.hidden = false;
      });
    }
    // "/" jumps to the search box, as on many sites.
    var search = document.querySelector("input[type=search]");
    if (search) {
      document.addEventListener("keydown", function (event) {
        if (event.key === "/" && document.activeElement !== search) {
          event.preventDefault();
          search.focus();
        }
      });
    }
  });
})();
