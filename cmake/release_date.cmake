# Spells the release date (QUILMAR_RELEASE_DATE, YYYY-MM-DD) the ways its readers want it:
#   QUILMAR_RELEASE_DATE_TEXT     "17 April 2009"    the Info window
#   QUILMAR_RELEASE_DATE_RFC2822  "Fri, 17 Apr 2009 00:00:00 +0000"    the Debian changelog
# The ISO form itself goes into the AppStream release entry.
if(NOT QUILMAR_RELEASE_DATE MATCHES "^([0-9][0-9][0-9][0-9])-([0-9][0-9])-([0-9][0-9])$")
  message(FATAL_ERROR "QUILMAR_RELEASE_DATE '${QUILMAR_RELEASE_DATE}' is not YYYY-MM-DD")
endif()
math(EXPR year "${CMAKE_MATCH_1}")
math(EXPR month "${CMAKE_MATCH_2}")
math(EXPR day "${CMAKE_MATCH_3}")

set(month_names January February March April May June July August September October November
    December)
math(EXPR month_index "${month} - 1")
list(GET month_names ${month_index} month_name)
string(SUBSTRING "${month_name}" 0 3 month_abbreviation)

# Zeller's congruence: January and February count as months 13 and 14 of the year before.
set(zeller_month ${month})
set(zeller_year ${year})
if(month LESS 3)
  math(EXPR zeller_month "${month} + 12")
  math(EXPR zeller_year "${year} - 1")
endif()
math(EXPR weekday_index "(${day} + (13 * (${zeller_month} + 1)) / 5 + ${zeller_year} \
  + ${zeller_year} / 4 - ${zeller_year} / 100 + ${zeller_year} / 400) % 7")
set(weekday_names Sat Sun Mon Tue Wed Thu Fri)
list(GET weekday_names ${weekday_index} weekday)

set(QUILMAR_RELEASE_DATE_TEXT "${day} ${month_name} ${year}")
if(day LESS 10)
  set(day "0${day}")
endif()
set(QUILMAR_RELEASE_DATE_RFC2822 "${weekday}, ${day} ${month_abbreviation} ${year} 00:00:00 +0000")
